#include "templates/fieldfontstore.h"

#include "base/dataerror.h"

#include <QSqlError>
#include <QSqlQuery>
#include <cmath>

namespace
{

// Longer than any font family name: such a cell was not written by us.
constexpr int kMaxFamilyLength = 200;

void run(QSqlQuery& q)
{
    if (!q.exec())
        throw DataError(q.lastError().text());
}

void prepare(QSqlQuery& q, const QString& sql)
{
    if (!q.prepare(sql))
        throw DataError(q.lastError().text());
}

// The font of one stored row (family, size, bold, italic from column
// `first` on), or nothing when the row holds none.
std::optional<QFont> fontOfRow(const QSqlQuery& q, int first)
{
    const QString family = q.value(first).toString().trimmed();
    bool ok = false;
    const double size = q.value(first + 1).toDouble(&ok);
    if (family.isEmpty() || family.size() > kMaxFamilyLength || !ok || !std::isfinite(size) ||
        size < FieldFontStore::kMinPointSize || size > FieldFontStore::kMaxPointSize)
        return std::nullopt;
    QFont f(family);
    f.setPointSizeF(size);
    f.setBold(q.value(first + 2).toInt() != 0);
    f.setItalic(q.value(first + 3).toInt() != 0);
    return f;
}

void bindFont(QSqlQuery& q, const QFont& font)
{
    const QFont f = FieldFontStore::kept(font);
    q.addBindValue(f.family());
    q.addBindValue(f.pointSizeF());
    q.addBindValue(f.bold() ? 1 : 0);
    q.addBindValue(f.italic() ? 1 : 0);
}

} // namespace

namespace FieldFontStore
{

QFont kept(const QFont& font)
{
    double size = font.pointSizeF();
    if (size <= 0)
        size = font.pixelSize() > 0 ? font.pixelSize() * 72.0 / 96.0 : 10.0;
    QFont f(font.family());
    f.setPointSizeF(qBound(kMinPointSize, size, kMaxPointSize));
    f.setBold(font.bold());
    f.setItalic(font.italic());
    return f;
}

FieldFonts load(const QSqlDatabase& db, const QString& model)
{
    QSqlQuery q(db);
    prepare(q, QStringLiteral("SELECT Field_Key, Family, Size_Pt, Bold, Italic "
                              "FROM Model_Field_Font WHERE Model_Name = ?"));
    q.addBindValue(model);
    run(q);
    FieldFonts fonts;
    while (q.next())
        if (const std::optional<QFont> f = fontOfRow(q, 1))
            fonts.insert(q.value(0).toString(), *f);
    return fonts;
}

void setFieldFont(const QSqlDatabase& db, const QString& model, const QString& key,
                  const QFont& font)
{
    QSqlQuery q(db);
    prepare(q, QStringLiteral("INSERT INTO Model_Field_Font "
                              "(Model_Name, Field_Key, Family, Size_Pt, Bold, Italic) "
                              "VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (Model_Name, Field_Key) "
                              "DO UPDATE SET Family = excluded.Family, Size_Pt = "
                              "excluded.Size_Pt, Bold = excluded.Bold, Italic = excluded.Italic"));
    q.addBindValue(model);
    q.addBindValue(key);
    bindFont(q, font);
    run(q);
}

void clearFieldFont(const QSqlDatabase& db, const QString& model, const QString& key)
{
    QSqlQuery q(db);
    prepare(q,
            QStringLiteral("DELETE FROM Model_Field_Font WHERE Model_Name = ? AND Field_Key = ?"));
    q.addBindValue(model);
    q.addBindValue(key);
    run(q);
}

std::optional<QFont> printFont(const QSqlDatabase& db, const QString& model)
{
    QSqlQuery q(db);
    prepare(q, QStringLiteral("SELECT Family, Size_Pt, Bold, Italic FROM Model_Print_Font "
                              "WHERE Model_Name = ?"));
    q.addBindValue(model);
    run(q);
    return q.next() ? fontOfRow(q, 0) : std::nullopt;
}

void setPrintFont(const QSqlDatabase& db, const QString& model, const QFont& font)
{
    QSqlQuery q(db);
    prepare(q, QStringLiteral(
                   "INSERT INTO Model_Print_Font (Model_Name, Family, Size_Pt, Bold, Italic) "
                   "VALUES (?, ?, ?, ?, ?) ON CONFLICT (Model_Name) DO UPDATE SET "
                   "Family = excluded.Family, Size_Pt = excluded.Size_Pt, "
                   "Bold = excluded.Bold, Italic = excluded.Italic"));
    q.addBindValue(model);
    bindFont(q, font);
    run(q);
}

void clearPrintFont(const QSqlDatabase& db, const QString& model)
{
    QSqlQuery q(db);
    prepare(q, QStringLiteral("DELETE FROM Model_Print_Font WHERE Model_Name = ?"));
    q.addBindValue(model);
    run(q);
}

} // namespace FieldFontStore
