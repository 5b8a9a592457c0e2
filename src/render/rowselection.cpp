#include "render/rowselection.h"

#include "data/dataset.h"
#include "data/schema.h"
#include "render/printmessages.h"

#include <QRegularExpression>
#include <algorithm>
#include <numeric>

QVector<int> RowSelection::parseRange(const QString& text, int rowCount, QString* error)
{
    auto fail = [&](const QString& why) {
        *error = why;
        return QVector<int>();
    };
    QString t = text;
    t.replace(QChar(0xFF0C), QLatin1Char(',')); // ，
    t.replace(QChar(0xFF0D), QLatin1Char('-')); // －
    t.replace(QChar(0x2013), QLatin1Char('-'));
    t.replace(QChar(0x3000), QLatin1Char(' '));
    // Chinese input methods type full-width digits; toInt() reads only ASCII.
    for (QChar& c : t) {
        if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19)
            c = QChar(u'0' + (c.unicode() - 0xFF10));
    }
    const QStringList parts = t.split(QLatin1Char(','));
    static const QRegularExpression item(
        QStringLiteral("^\\s*([0-9]{1,9})\\s*(?:-\\s*([0-9]{1,9})\\s*)?$"));
    QVector<bool> chosen(std::max(rowCount, 0), false);
    bool any = false;
    for (const QString& part : parts) {
        const QRegularExpressionMatch m = item.match(part);
        if (!m.hasMatch())
            return fail(PrintMessages::badRowRange(part.trimmed()));
        const int from = m.captured(1).toInt();
        const int to = m.captured(2).isEmpty() ? from : m.captured(2).toInt();
        if (from > to)
            return fail(PrintMessages::badRowRange(part.trimmed()));
        if (from < 1 || to > rowCount)
            return fail(
                QStringLiteral("行号超出范围：“%1”，共有 %2 行").arg(part.trimmed()).arg(rowCount));
        for (int r = from; r <= to; ++r)
            chosen[r - 1] = true;
        any = true;
    }
    if (!any)
        return fail(PrintMessages::badRowRange(text));
    QVector<int> rows;
    for (int i = 0; i < chosen.size(); ++i)
        if (chosen.at(i))
            rows << i;
    error->clear();
    return rows;
}

QVector<int> RowSelection::unprintedRows(Dataset* recipients)
{
    QVector<int> rows;
    const int count = recipients->fieldIndex(Schema::printCountColumn());
    for (int i = 0; i < recipients->recordCount(); ++i)
        if (count < 0 || recipients->cell(i, count).toLongLong() <= 0)
            rows << i;
    return rows;
}

QVector<int> RowSelection::allRows(int rowCount)
{
    QVector<int> rows(std::max(rowCount, 0));
    std::iota(rows.begin(), rows.end(), 0);
    return rows;
}
