#include "freshdatabase.h"

#include "base/session.h"
#include "data/datamodule.h"
#include "data/headerguard.h"
#include "data/serveraddress.h"
#include "data/servercopy.h"
#include "templates/newdatabase.h"

#include <QDir>
#include <QSqlError>

bool makeFreshAppDir(const QString& dir, QString* error)
{
    QString e;
    const bool ok = NewDatabase::prepareAppDir(dir, &e);
    if (error)
        *error = e;
    return ok;
}

std::unique_ptr<DataModule> openFreshDataModule(const QString& dir, Session* session,
                                                QString* error)
{
    QString e;
    if (!makeFreshAppDir(dir, &e)) {
        if (error)
            *error = e;
        return nullptr;
    }
    const QString db = QDir(dir).filePath(QString::fromLatin1(DataModule::kDatabaseFileName));
    if (restoreHeader(db) != HeaderGuard::Result::Written) {
        if (error)
            *error = QStringLiteral("cannot restore the header of %1").arg(db);
        return nullptr;
    }
    auto dm = std::make_unique<DataModule>();
    try {
        dm->connectDatabase(db);
        dm->openAll();
    } catch (const DataError& ex) {
        if (error)
            *error = ex.message();
        return nullptr;
    }
    *session = Session::forAppDir(dir);
    return dm;
}

std::unique_ptr<DataModule> openServerDataModule(const QString& serverUrl, const QString& station,
                                                 QString* error)
{
    QString e;
    const ServerAddress address = ServerAddress::parse(serverUrl, &e);
    auto dm = std::make_unique<DataModule>();
    try {
        if (!e.isEmpty())
            throw DataError(e);
        dm->connectServer(address, station);
        dm->openAll();
    } catch (const DataError& ex) {
        if (error)
            *error = ex.message();
        return nullptr;
    }
    return dm;
}

std::unique_ptr<DataModule> openFreshServerDataModule(const QString& dir, const QString& serverUrl,
                                                      Session* session, QString* error,
                                                      const QString& station)
{
    QString e;
    {
        auto file = openFreshDataModule(dir, session, &e);
        if (!file) {
            if (error)
                *error = e;
            return nullptr;
        }
        const QString conn = QStringLiteral("fresh_server_copy");
        try {
            const ServerAddress address = ServerAddress::parse(serverUrl, &e);
            if (!e.isEmpty())
                throw DataError(e);
            {
                QSqlDatabase target = address.addConnection(conn);
                if (!target.open())
                    throw DataError(target.lastError().text());
                ServerCopy::copy(file->database(), QDir(dir).filePath(QStringLiteral("bkbmp")),
                                 target, station);
                target.close();
            }
            QSqlDatabase::removeDatabase(conn);
        } catch (const DataError& ex) {
            QSqlDatabase::removeDatabase(conn);
            if (error)
                *error = ex.message();
            return nullptr;
        }
    }
    auto dm = openServerDataModule(serverUrl, station, error);
    if (dm)
        session->databaseServer = serverUrl;
    return dm;
}
