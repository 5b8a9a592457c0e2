#include "freshdatabase.h"

#include "newdatabase.h"

bool makeFreshAppDir(const QString& dir, QString* error)
{
    QString e;
    const bool ok = NewDatabase::prepareAppDir(dir, &e);
    if (error)
        *error = e;
    return ok;
}
