#pragma once

#include "templates/fieldfontstore.h"

#include <QFont>
#include <QSqlDatabase>

struct Session;
class TemplateLayout;

// The fonts a template prints in: a field's own font, else the template's
// print font, else the session's.
struct PrintFonts {
    QFont print;       // the template's own print font, else the session's
    FieldFonts fields; // the fields with a font of their own

    // Those the layout carries.
    static PrintFonts of(const TemplateLayout& layout, const Session& session);
    // Those stored with the session's current template. Throws DataError.
    static PrintFonts load(const QSqlDatabase& db, const Session& session);
};
