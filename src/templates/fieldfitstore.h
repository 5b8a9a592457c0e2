#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <optional>

// How a field's value is drawn: as text or as a symbol of it.
enum class FieldSymbol { Text, Code128, Qr };

// Whether a field fits its text into its box, and how high the box is; or
// the symbol it is drawn as instead.
struct FieldFit {
    bool fit = false;
    int height = 0; // design pixels; 0 is one line of the print font
    FieldSymbol symbol = FieldSymbol::Text;
    double moduleMm = 0;    // narrowest bar or QR cell; 0 is the default
    double barHeightMm = 0; // Code 128 bars; 0 is the default

    bool operator==(const FieldFit& o) const
    {
        return fit == o.fit && height == o.height && symbol == o.symbol && moduleMm == o.moduleMm &&
               barHeightMm == o.barHeightMm;
    }
    bool operator!=(const FieldFit& o) const { return !(*this == o); }
};
using FieldFits = QHash<QString, FieldFit>; // by field key ("A_Address" …)

// The fitting settings of each template's fields (Model_Field_Fit).
namespace FieldFitStore
{

// Every stored setting of a template. Throws DataError.
FieldFits load(const QSqlDatabase& db, const QString& model);

// Switches fitting on or off for one field, keeping its height. Throws DataError.
void setFit(const QSqlDatabase& db, const QString& model, const QString& key, bool fit);

// Stores one field's box height in design pixels, keeping its switch.
// Throws DataError.
void setHeight(const QSqlDatabase& db, const QString& model, const QString& key, int height);

// "text", "code128", "qr"; a name that is none of these gives nothing.
QString symbolName(FieldSymbol symbol);
std::optional<FieldSymbol> symbolFromName(const QString& name);

// Stores how one field is drawn; a module width or bar height of 0 keeps the
// stored one. Throws DataError.
void setSymbol(const QSqlDatabase& db, const QString& model, const QString& key,
               FieldSymbol symbol);
void setModule(const QSqlDatabase& db, const QString& model, const QString& key, double mm);
void setBarHeight(const QSqlDatabase& db, const QString& model, const QString& key, double mm);

} // namespace FieldFitStore
