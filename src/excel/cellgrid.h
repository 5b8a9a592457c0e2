#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// Excel's own sheet size; no reader keeps a cell beyond it.
constexpr int kMaxSheetRows = 1048576;
constexpr int kMaxSheetColumns = 16384;
// The most characters (UTF-16 units) a spreadsheet cell holds.
constexpr int kMaxCellCharacters = 32767;

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
};

// Many texts kept end to end in one block of UTF-16, each found by its
// number: a few bytes per text instead of a string object each.
class TextPool
{
public:
    uint32_t add(QStringView text);
    QStringView at(uint32_t index) const;
    uint32_t size() const { return uint32_t(m_ends.size()); }
    void clear();
    // Gives back the room kept for growth, once every text is in: up to
    // half of a large pool, which stays in memory while an import runs.
    void squeeze();

private:
    std::vector<char16_t> m_chars;
    std::vector<size_t> m_ends; // one past each text's last character
};

// Cell texts of one sheet. Only non-empty cells are kept, in a flat list
// sorted by row and column, so memory follows the cells present and never
// the range they span.
class CellGrid
{
public:
    // 1-based; an empty text leaves the cell empty. Cells outside Excel's
    // sheet size are not kept.
    void set(int row, int column, QStringView text);
    // Cell (ROW, COLUMN) shows text INDEX of the pool given to
    // setSharedTexts(), which must outlive the grid's use.
    void setShared(int row, int column, uint32_t index);
    void setSharedTexts(const TextPool* texts) { m_shared = texts; }

    QString text(int row, int column) const;
    UsedRange usedRange() const { return m_range; }
    void clear();
    // Gives back the room kept for growth, once the sheet is read.
    void squeeze();

private:
    struct Cell {
        int row;
        int column;
        uint32_t text; // in m_texts, or with kShared set in *m_shared
    };
    struct RowStart {
        int row;
        uint32_t firstCell;
    };
    static constexpr uint32_t kShared = 0x80000000u;

    void add(int row, int column, uint32_t text);
    // Sorts and indexes the cells set since the last lookup.
    void index() const;
    const Cell* find(int row, int column) const;

    mutable std::vector<Cell> m_cells;
    mutable bool m_sorted = true;
    mutable std::vector<RowStart> m_rows; // of m_cells[0 .. m_indexed)
    mutable size_t m_indexed = 0;
    mutable size_t m_lastRow = 0; // where the previous lookup found its row
    TextPool m_texts;
    const TextPool* m_shared = nullptr;
    UsedRange m_range;
};
