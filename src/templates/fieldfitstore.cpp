#include "templates/fieldfitstore.h"

#include "base/dataerror.h"

#include <QSqlError>
#include <QSqlQuery>

namespace
{

void run(QSqlQuery& q)
{
    if (!q.exec())
        throw DataError(q.lastError().text());
}

void upsert(const QSqlDatabase& db, const QString& model, const QString& key, const QString& column,
            const QVariant& value)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO Model_Field_Fit (Model_Name, Field_Key, %1) "
                             "VALUES (?, ?, ?) ON CONFLICT (Model_Name, Field_Key) "
                             "DO UPDATE SET %1 = excluded.%1")
                  .arg(column));
    q.addBindValue(model);
    q.addBindValue(key);
    q.addBindValue(value);
    run(q);
}

} // namespace

namespace FieldFitStore
{

FieldFits load(const QSqlDatabase& db, const QString& model)
{
    QSqlQuery q(db);
    q.prepare(
        QStringLiteral("SELECT Field_Key, Fit, Height FROM Model_Field_Fit WHERE Model_Name = ?"));
    q.addBindValue(model);
    run(q);
    FieldFits fits;
    while (q.next()) {
        FieldFit f;
        f.fit = q.value(1).toInt() != 0;
        f.height = qMax(0, q.value(2).toInt());
        fits.insert(q.value(0).toString(), f);
    }
    return fits;
}

void setFit(const QSqlDatabase& db, const QString& model, const QString& key, bool fit)
{
    upsert(db, model, key, QStringLiteral("Fit"), fit ? 1 : 0);
}

void setHeight(const QSqlDatabase& db, const QString& model, const QString& key, int height)
{
    upsert(db, model, key, QStringLiteral("Height"), qMax(0, height));
}

} // namespace FieldFitStore
