#include "book/recipientsearch.h"

#include "data/dataset.h"

#include <QSet>

RecipientSearch::RecipientSearch(const Dataset* att, const QString& text) : m_att(att), m_text(text)
{
    for (const char* name : {"Name", "Mobile", "Phone", "Address", "WayBillNo"}) {
        const int f = att ? att->fieldIndex(QString::fromLatin1(name)) : -1;
        if (f >= 0)
            m_fields << f;
    }
}

bool RecipientSearch::matches(int datasetRow) const
{
    if (isEmpty() || !m_att || datasetRow < 0 || datasetRow >= m_att->recordCount())
        return false;
    for (int f : m_fields)
        if (m_att->cellText(datasetRow, f).contains(m_text, Qt::CaseInsensitive))
            return true;
    return false;
}

int RecipientSearch::findFrom(int start, int count,
                              const std::function<int(int)>& datasetRowAt) const
{
    if (isEmpty() || count <= 0)
        return -1;
    if (start < 0 || start >= count)
        start = 0;
    for (int i = 0; i < count; ++i) {
        const int pos = (start + i) % count;
        if (matches(datasetRowAt(pos)))
            return pos;
    }
    return -1;
}

QVector<int> duplicateRecipientRows(const Dataset* att)
{
    QVector<int> rows;
    if (!att)
        return rows;
    const int name = att->fieldIndex(QStringLiteral("Name"));
    const int mobile = att->fieldIndex(QStringLiteral("Mobile"));
    const int address = att->fieldIndex(QStringLiteral("Address"));
    if (name < 0 || mobile < 0 || address < 0)
        return rows;
    // Keys join their trimmed parts with a character no text field holds.
    const QChar sep(0x1f);
    QSet<QString> nameMobile;
    QSet<QString> mobileAddress;
    for (int row = 0; row < att->recordCount(); ++row) {
        const QString n = att->cellText(row, name).trimmed();
        const QString m = att->cellText(row, mobile).trimmed();
        const QString a = att->cellText(row, address).trimmed();
        if (m.isEmpty())
            continue;
        bool repeated = false;
        if (!n.isEmpty()) {
            const QString key = n + sep + m;
            repeated = nameMobile.contains(key);
            nameMobile.insert(key);
        }
        if (!a.isEmpty()) {
            const QString key = m + sep + a;
            repeated = mobileAddress.contains(key) || repeated;
            mobileAddress.insert(key);
        }
        if (repeated)
            rows << row;
    }
    return rows;
}
