#pragma once

#include <QString>
#include <QVector>

class Dataset;

// Which recipient rows a print job takes. Rows are numbered as the grid shows
// them: 1 is the table's first row.
class RowSelection
{
public:
    enum class Kind { All, Selected, Unprinted, Range };

    // "1-20,25": numbers and ranges separated by commas (blanks allowed; the
    // full-width comma and dash are taken too). Returns the 0-based rows in
    // ascending order without repeats, or an empty list with a message when a
    // part is not a number, a range runs backwards, or a number lies outside
    // 1 … rowCount.
    static QVector<int> parseRange(const QString& text, int rowCount, QString* error);

    // The rows whose print count is 0 or empty, in table order.
    static QVector<int> unprintedRows(Dataset* recipients);
    static QVector<int> allRows(int rowCount);
};
