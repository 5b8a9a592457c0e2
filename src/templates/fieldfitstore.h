#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QString>

// Whether a field fits its text into its box, and how high the box is.
struct FieldFit {
    bool fit = false;
    int height = 0; // design pixels; 0 is one line of the print font
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

} // namespace FieldFitStore
