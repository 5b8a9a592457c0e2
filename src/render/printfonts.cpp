#include "render/printfonts.h"

#include "base/session.h"

PrintFonts PrintFonts::load(const QSqlDatabase& db, const Session& session)
{
    PrintFonts fonts;
    fonts.print =
        FieldFontStore::printFont(db, session.currentTemplate).value_or(session.printFont());
    fonts.fields = FieldFontStore::load(db, session.currentTemplate);
    return fonts;
}
