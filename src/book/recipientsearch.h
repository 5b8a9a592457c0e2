#pragma once

#include <QString>
#include <QVector>
#include <functional>

class Dataset;

// Finds recipients whose name, mobile, phone, address or waybill number
// contains a text anywhere (Latin letters in either case). Works on the
// dataset's rows without moving its cursor.
class RecipientSearch
{
public:
    RecipientSearch(const Dataset* att, const QString& text);

    // A text of blanks only finds nothing.
    bool isEmpty() const { return m_text.trimmed().isEmpty(); }
    bool matches(int datasetRow) const;

    // The first position in display order, starting at start and wrapping
    // at the end, whose row matches; -1 when none does. datasetRowAt maps a
    // display position (0 … count-1) to a dataset row.
    int findFrom(int start, int count, const std::function<int(int)>& datasetRowAt) const;

private:
    const Dataset* m_att;
    QString m_text;
    QVector<int> m_fields;
};

// Rows that repeat an earlier row: the same name and mobile, or the same
// mobile and address (compared trimmed; a key with a blank part matches
// nothing). The first row of each group is not listed. Ascending order.
QVector<int> duplicateRecipientRows(const Dataset* att);
