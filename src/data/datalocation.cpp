#include "data/datalocation.h"

#include "data/configini.h"
#include "data/datamodule.h"
#include "data/serveraddress.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace
{

QString withSlash(const QString& dir)
{
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

} // namespace

QString DataLocation::userDataDir()
{
    return withSlash(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

DataLocation DataLocation::find(const QString& programDir, const QString& databaseOption)
{
    const QString dbName = QString::fromLatin1(DataModule::kDatabaseFileName);
    const QString program = withSlash(QFileInfo(programDir).absoluteFilePath());
    DataLocation where;
    // An installed program's folder holds neither; a build folder and a
    // copy that was run before hold both.
    where.userDataFolder =
        !QFileInfo::exists(program + dbName) && !QFileInfo::exists(ConfigIni::fileName(program));
    where.appDir = where.userDataFolder ? userDataDir() : program;

    // The help page beside the program, else where the install puts it.
    const QString installedHelp =
        QDir::cleanPath(program + QLatin1String("../share/waylark")) + QLatin1Char('/');
    where.helpDir = !QFileInfo::exists(program + QLatin1String("help.html")) &&
                            QFileInfo::exists(installedHelp + QLatin1String("help.html"))
                        ? installedHelp
                        : program;

    const QString chosen = ConfigIni::read(where.appDir, ConfigIni::DatabaseFile).trimmed();
    const QString server = ConfigIni::read(where.appDir, ConfigIni::DatabaseServer).trimmed();
    if (ServerAddress::isServerUrl(databaseOption) ||
        (databaseOption.isEmpty() && !server.isEmpty())) {
        where.databaseServer = databaseOption.isEmpty() ? server : databaseOption;
        return where;
    }
    if (!databaseOption.isEmpty())
        where.databaseFile = QFileInfo(databaseOption).absoluteFilePath();
    else if (!chosen.isEmpty())
        where.databaseFile = QFileInfo(QDir(where.appDir), chosen).absoluteFilePath();
    else if (!where.userDataFolder && QFileInfo::exists(dbName))
        where.databaseFile = QFileInfo(dbName).absoluteFilePath();
    else
        where.databaseFile = where.appDir + dbName;
    where.databaseFile = QDir::cleanPath(where.databaseFile);
    return where;
}
