#include "waybill/carrierstore.h"

#include "base/dataerror.h"
#include "data/schema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace
{

void run(QSqlQuery& q)
{
    if (!q.exec())
        throw DataError(q.lastError().text());
}

void upsert(const QSqlDatabase& db, const QString& model, const QString& column,
            const QString& value)
{
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("INSERT INTO Model_Carrier (Model_Name, %1) VALUES (?, ?) "
                                  "ON CONFLICT (Model_Name) DO UPDATE SET %1 = excluded.%1")
                       .arg(column)))
        throw DataError(q.lastError().text());
    q.addBindValue(model);
    q.addBindValue(value);
    run(q);
}

} // namespace

namespace CarrierStore
{

QString lockLastNumber(const QSqlDatabase& db, const QString& model)
{
    if (!Schema::isServer(db))
        return load(db, model).lastNumber;
    // A row to lock, for a template that never had one.
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("INSERT INTO Model_Carrier (Model_Name) VALUES (?) "
                                  "ON CONFLICT (Model_Name) DO NOTHING")))
        throw DataError(q.lastError().text());
    q.addBindValue(model);
    run(q);
    if (!q.prepare(QStringLiteral(
            "SELECT Last_Waybill FROM Model_Carrier WHERE Model_Name = ? FOR UPDATE")))
        throw DataError(q.lastError().text());
    q.addBindValue(model);
    run(q);
    return q.next() ? q.value(0).toString() : QString();
}

StoredCarrier load(const QSqlDatabase& db, const QString& model)
{
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral(
            "SELECT Carrier_Code, Last_Waybill FROM Model_Carrier WHERE Model_Name = ?")))
        throw DataError(q.lastError().text());
    q.addBindValue(model);
    run(q);
    StoredCarrier stored;
    if (q.next()) {
        stored.code = q.value(0).toString();
        stored.lastNumber = q.value(1).toString();
    }
    return stored;
}

void setCode(const QSqlDatabase& db, const QString& model, const QString& code)
{
    upsert(db, model, QStringLiteral("Carrier_Code"), code);
}

void setLastNumber(const QSqlDatabase& db, const QString& model, const QString& number)
{
    upsert(db, model, QStringLiteral("Last_Waybill"), number);
}

} // namespace CarrierStore
