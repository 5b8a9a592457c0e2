#include "cellgrid.h"

#include <algorithm>

void UsedRange::include(int row, int column)
{
    if (isEmpty()) {
        firstRow = row;
        firstColumn = column;
        rowCount = 1;
        columnCount = 1;
        return;
    }
    const int top = std::min(firstRow, row);
    const int left = std::min(firstColumn, column);
    const int bottom = std::max(lastRow(), row);
    const int right = std::max(lastColumn(), column);
    firstRow = top;
    firstColumn = left;
    rowCount = bottom - top + 1;
    columnCount = right - left + 1;
}

UsedRange UsedRange::united(const UsedRange& other) const
{
    if (other.isEmpty())
        return *this;
    UsedRange result = *this;
    result.include(other.firstRow, other.firstColumn);
    result.include(other.lastRow(), other.lastColumn());
    return result;
}

void CellGrid::set(int row, int column, const QString& text)
{
    if (text.isEmpty() || row < 1 || column < 1)
        return;
    if (m_rows.size() < size_t(row))
        m_rows.resize(size_t(row));
    std::vector<QString>& cells = m_rows[size_t(row) - 1];
    if (cells.size() < size_t(column))
        cells.resize(size_t(column));
    cells[size_t(column) - 1] = text;
    m_range.include(row, column);
}

const QString& CellGrid::text(int row, int column) const
{
    static const QString empty;
    if (row < 1 || column < 1 || size_t(row) > m_rows.size())
        return empty;
    const std::vector<QString>& cells = m_rows[size_t(row) - 1];
    if (size_t(column) > cells.size())
        return empty;
    return cells[size_t(column) - 1];
}

void CellGrid::clear()
{
    m_rows.clear();
    m_range = UsedRange();
}
