#include "book/ordernumbers.h"

#include "data/dataset.h"
#include "data/schema.h"

#include <QRegularExpression>

namespace OrderNumbers
{

QStringList split(const QString& text)
{
    static const QRegularExpression separators(QStringLiteral("[,，;；、\\s]+"));
    QStringList numbers;
    for (const QString& piece : text.split(separators, Qt::SkipEmptyParts)) {
        if (!numbers.contains(piece))
            numbers << piece;
    }
    return numbers;
}

QString join(const QStringList& numbers)
{
    return numbers.join(QLatin1Char(','));
}

QSet<QString> inTable(const Dataset* att)
{
    QSet<QString> numbers;
    const int column = att->fieldIndex(Schema::orderNoColumn());
    if (column < 0)
        return numbers;
    for (int row = 0; row < att->recordCount(); ++row) {
        for (const QString& n : split(att->cellText(row, column)))
            numbers.insert(n);
    }
    return numbers;
}

QStringList takeNew(const QStringList& numbers, QSet<QString>* known, int* present)
{
    QStringList fresh;
    for (const QString& n : numbers) {
        if (known->contains(n)) {
            ++*present;
            continue;
        }
        known->insert(n);
        fresh << n;
    }
    return fresh;
}

} // namespace OrderNumbers
