#include "freshdatabase.h"

#include "base/session.h"
#include "data/datamodule.h"
#include "data/headerguard.h"
#include "templates/newdatabase.h"

#include <QDir>

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
