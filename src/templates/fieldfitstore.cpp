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
    q.prepare(QStringLiteral("SELECT Field_Key, Fit, Height, Symbol, Module_Mm, Bar_Height_Mm "
                             "FROM Model_Field_Fit WHERE Model_Name = ?"));
    q.addBindValue(model);
    run(q);
    FieldFits fits;
    while (q.next()) {
        FieldFit f;
        f.fit = q.value(1).toInt() != 0;
        f.height = qMax(0, q.value(2).toInt());
        // Anything else a file might hold reads as text.
        f.symbol = symbolFromName(q.value(3).toString()).value_or(FieldSymbol::Text);
        f.moduleMm = qMax(0.0, q.value(4).toDouble());
        f.barHeightMm = qMax(0.0, q.value(5).toDouble());
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

QString symbolName(FieldSymbol symbol)
{
    switch (symbol) {
    case FieldSymbol::Code128:
        return QStringLiteral("code128");
    case FieldSymbol::Qr:
        return QStringLiteral("qr");
    case FieldSymbol::Text:
        break;
    }
    return QStringLiteral("text");
}

std::optional<FieldSymbol> symbolFromName(const QString& name)
{
    for (FieldSymbol s : {FieldSymbol::Text, FieldSymbol::Code128, FieldSymbol::Qr})
        if (symbolName(s) == name)
            return s;
    return std::nullopt;
}

void setSymbol(const QSqlDatabase& db, const QString& model, const QString& key, FieldSymbol symbol)
{
    upsert(db, model, key, QStringLiteral("Symbol"), symbolName(symbol));
}

void setModule(const QSqlDatabase& db, const QString& model, const QString& key, double mm)
{
    if (mm > 0)
        upsert(db, model, key, QStringLiteral("Module_Mm"), mm);
}

void setBarHeight(const QSqlDatabase& db, const QString& model, const QString& key, double mm)
{
    if (mm > 0)
        upsert(db, model, key, QStringLiteral("Bar_Height_Mm"), mm);
}

} // namespace FieldFitStore
