#include "freshdatabase.h"

#include "datamodule.h"
#include "headerguard.h"
#include "newdatabase.h"
#include "session.h"

#include <QDir>

bool makeFreshAppDir(const QString& dir, QString* error)
{
    QString e;
    const bool ok = NewDatabase::prepareAppDir(dir, &e);
    if (error)
        *error = e;
    return ok;
}

std::unique_ptr<TDataModule1> openFreshDataModule(const QString& dir, Session* session,
                                                  QString* error)
{
    QString e;
    if (!makeFreshAppDir(dir, &e)) {
        if (error)
            *error = e;
        return nullptr;
    }
    const QString db = QDir(dir).filePath(QString::fromLatin1(TDataModule1::kDatabaseFileName));
    if (DB_Header_Restore(db) != HeaderGuard::Result::Written) {
        if (error)
            *error = QStringLiteral("cannot restore the header of %1").arg(db);
        return nullptr;
    }
    auto dm = std::make_unique<TDataModule1>();
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
