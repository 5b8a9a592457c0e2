#pragma once

#include <QString>

#include <vector>

// The used range of a sheet: the smallest rectangle holding every non-empty
// cell, 1-based. An empty sheet has no rows and no columns.
struct UsedRange {
    int firstRow = 0;
    int firstColumn = 0;
    int rowCount = 0;
    int columnCount = 0;

    bool isEmpty() const { return rowCount == 0; }
    int lastRow() const { return isEmpty() ? 0 : firstRow + rowCount - 1; }
    int lastColumn() const { return isEmpty() ? 0 : firstColumn + columnCount - 1; }
    // Grows the range to take in cell (row, column).
    void include(int row, int column);
    // The union of two ranges.
    UsedRange united(const UsedRange& other) const;
};

// Cell texts of one sheet, row by row. Only non-empty texts are kept, so the
// used range follows from what was set.
class CellGrid
{
public:
    // 1-based; an empty text leaves the cell empty.
    void set(int row, int column, const QString& text);
    const QString& text(int row, int column) const;
    UsedRange usedRange() const { return m_range; }
    void clear();

private:
    std::vector<std::vector<QString>> m_rows;
    UsedRange m_range;
};
