#pragma once

#include <QSqlDatabase>
#include <QString>

// The carrier chosen for each template and the last number written with it
// (Model_Carrier). Rows follow template renames and deletes through
// TemplateStore's named settings.
namespace CarrierStore
{

struct StoredCarrier {
    QString code;       // Carrier_Code; empty while the template's name picks the rule
    QString lastNumber; // Last_Waybill, without prefix and suffix; empty before any series
};

// What is stored for a template (all empty when nothing is). Throws DataError.
StoredCarrier load(const QSqlDatabase& db, const QString& model);

// Sets the template's carrier code, keeping its last number. Throws DataError.
void setCode(const QSqlDatabase& db, const QString& model, const QString& code);

// The template's last number, its row locked until the transaction around
// this ends (on a server; a file has one writer at a time), so that a
// station numbering meanwhile waits and then reads the new one. Throws
// DataError.
QString lockLastNumber(const QSqlDatabase& db, const QString& model);

// Records the last number of a series just written, keeping the code.
// Throws DataError.
void setLastNumber(const QSqlDatabase& db, const QString& model, const QString& number);

} // namespace CarrierStore
