#pragma once

#include <QFont>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <optional>

using FieldFonts = QHash<QString, QFont>; // by field key ("A_Address" …)

// The fonts kept with a template: its print font (Model_Print_Font) and the
// fonts of single fields (Model_Field_Font). A kept font is its family,
// size in points, boldness and slant; nothing else of it is kept.
namespace FieldFontStore
{

// Sizes a kept font may have; a font chosen outside is kept at the nearest.
constexpr double kMinPointSize = 4.0;
constexpr double kMaxPointSize = 200.0;

// The font as it is kept: family, size (pixels count at 96 per inch), bold
// and italic of `font`, the size brought within range.
QFont kept(const QFont& font);

// Every field font of a template. Rows without a family or with a size out
// of range are not fonts and are left out. Throws DataError.
FieldFonts load(const QSqlDatabase& db, const QString& model);

// Gives one field a font of its own. Throws DataError.
void setFieldFont(const QSqlDatabase& db, const QString& model, const QString& key,
                  const QFont& font);

// The field prints in the template's print font again. Throws DataError.
void clearFieldFont(const QSqlDatabase& db, const QString& model, const QString& key);

// The template's print font, when it has one. Throws DataError.
std::optional<QFont> printFont(const QSqlDatabase& db, const QString& model);

// Keeps the template's print font. Throws DataError.
void setPrintFont(const QSqlDatabase& db, const QString& model, const QFont& font);

// The template prints in the session's print font again. Throws DataError.
void clearPrintFont(const QSqlDatabase& db, const QString& model);

} // namespace FieldFontStore
