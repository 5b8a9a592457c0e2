#pragma once

#include "templates/fieldfontstore.h"

#include <QFont>
#include <QSqlDatabase>

struct Session;

// The fonts the template in use prints in.
struct PrintFonts {
    QFont print;       // the template's own print font, else the session's
    FieldFonts fields; // the fields with a font of their own

    // Those of the session's current template. Throws DataError.
    static PrintFonts load(const QSqlDatabase& db, const Session& session);
};
