#include "render/printfonts.h"

#include "base/session.h"
#include "templates/templatelayout.h"

PrintFonts PrintFonts::of(const TemplateLayout& layout, const Session& session)
{
    PrintFonts fonts;
    fonts.print = layout.printFont.value_or(session.printFont());
    fonts.fields = layout.fonts;
    return fonts;
}

PrintFonts PrintFonts::load(const QSqlDatabase& db, const Session& session)
{
    PrintFonts fonts;
    fonts.print =
        FieldFontStore::printFont(db, session.currentTemplate).value_or(session.printFont());
    fonts.fields = FieldFontStore::load(db, session.currentTemplate);
    return fonts;
}
