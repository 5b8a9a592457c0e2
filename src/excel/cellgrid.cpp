#include "excel/cellgrid.h"

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


uint32_t TextPool::add(QStringView text)
{
    m_chars.insert(m_chars.end(), text.utf16(), text.utf16() + text.size());
    m_ends.push_back(m_chars.size());
    return uint32_t(m_ends.size() - 1);
}

QStringView TextPool::at(uint32_t index) const
{
    if (index >= m_ends.size())
        return {};
    const size_t start = index == 0 ? 0 : m_ends[index - 1];
    return QStringView(m_chars.data() + start, qsizetype(m_ends[index] - start));
}

void TextPool::squeeze()
{
    m_chars.shrink_to_fit();
    m_ends.shrink_to_fit();
}

void TextPool::clear()
{
    // Swapped out, so that the memory of a large sheet is given back.
    std::vector<char16_t>().swap(m_chars);
    std::vector<size_t>().swap(m_ends);
}

namespace
{

bool inSheet(int row, int column)
{
    return row >= 1 && row <= kMaxSheetRows && column >= 1 && column <= kMaxSheetColumns;
}

} // namespace

void CellGrid::set(int row, int column, QStringView text)
{
    if (text.isEmpty() || !inSheet(row, column))
        return;
    add(row, column, m_texts.add(text));
}

void CellGrid::setShared(int row, int column, uint32_t index)
{
    if (!m_shared || index >= m_shared->size() || index >= kShared || !inSheet(row, column) ||
        m_shared->at(index).isEmpty())
        return;
    add(row, column, index | kShared);
}

void CellGrid::add(int row, int column, uint32_t text)
{
    if (!m_cells.empty()) {
        Cell& last = m_cells.back();
        if (last.row == row && last.column == column) {
            last.text = text;
            return;
        }
        if (last.row > row || (last.row == row && last.column > column))
            m_sorted = false;
    }
    m_cells.push_back({row, column, text});
    m_range.include(row, column);
}

void CellGrid::squeeze()
{
    m_cells.shrink_to_fit();
    m_texts.squeeze();
}

void CellGrid::index() const
{
    if (!m_sorted) {
        // Stable, so that of two texts set for one cell the later stays.
        std::stable_sort(m_cells.begin(), m_cells.end(), [](const Cell& a, const Cell& b) {
            return a.row != b.row ? a.row < b.row : a.column < b.column;
        });
        size_t kept = 0;
        for (size_t i = 0; i < m_cells.size(); ++i) {
            if (kept > 0 && m_cells[kept - 1].row == m_cells[i].row &&
                m_cells[kept - 1].column == m_cells[i].column)
                m_cells[kept - 1] = m_cells[i];
            else
                m_cells[kept++] = m_cells[i];
        }
        m_cells.resize(kept);
        m_rows.clear();
        m_indexed = 0;
        m_lastRow = 0;
        m_sorted = true;
    }
    for (; m_indexed < m_cells.size(); ++m_indexed) {
        const int row = m_cells[m_indexed].row;
        if (m_rows.empty() || m_rows.back().row != row)
            m_rows.push_back({row, uint32_t(m_indexed)});
    }
}

const CellGrid::Cell* CellGrid::find(int row, int column) const
{
    if (m_indexed != m_cells.size() || !m_sorted)
        index();
    if (m_rows.empty())
        return nullptr;
    // Reading goes row by row: try the row of the previous lookup and the
    // one after it before searching.
    size_t at = m_lastRow;
    if (!(at < m_rows.size() && m_rows[at].row == row)) {
        if (at + 1 < m_rows.size() && m_rows[at + 1].row == row) {
            ++at;
        } else {
            const auto it =
                std::lower_bound(m_rows.begin(), m_rows.end(), row,
                                 [](const RowStart& r, int value) { return r.row < value; });
            if (it == m_rows.end() || it->row != row)
                return nullptr;
            at = size_t(it - m_rows.begin());
        }
    }
    m_lastRow = at;
    const Cell* first = m_cells.data() + m_rows[at].firstCell;
    const Cell* last = m_cells.data() + (at + 1 < m_rows.size() ? m_rows[at + 1].firstCell
                                                                : uint32_t(m_cells.size()));
    const Cell* it = std::lower_bound(first, last, column,
                                      [](const Cell& c, int value) { return c.column < value; });
    return it != last && it->column == column ? it : nullptr;
}

QString CellGrid::text(int row, int column) const
{
    const Cell* cell = find(row, column);
    if (!cell)
        return QString();
    if (cell->text & kShared)
        return m_shared ? m_shared->at(cell->text & ~kShared).toString() : QString();
    return m_texts.at(cell->text).toString();
}

void CellGrid::clear()
{
    std::vector<Cell>().swap(m_cells);
    std::vector<RowStart>().swap(m_rows);
    m_sorted = true;
    m_indexed = 0;
    m_lastRow = 0;
    m_texts.clear();
    m_range = UsedRange();
}
