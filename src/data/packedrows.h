#pragma once

#include <QByteArray>
#include <QVariant>
#include <QVector>

#include <vector>

// The rows of a dataset kept compactly: each row's values packed end to end
// in one byte block (texts as Latin-1 when they allow it, else UTF-16;
// numbers in their bytes), with a small table of where each value starts.
// A QVariant per value costs 32 bytes plus its text's own block; 100,000
// recipients took over 100 MB that way. Values come back exactly as given:
// same type, same null-ness.
class PackedRows
{
public:
    int size() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    void clear();
    void reserve(int rows) { m_rows.reserve(size_t(rows)); }

    void append(qint64 rowid, const QVector<QVariant>& values);
    // A row known by its rowid only, its values to come through replace();
    // until then it reads as having no fields.
    void appendUnread(qint64 rowid) { m_rows.push_back({rowid, QByteArray()}); }
    bool isRead(int row) const { return !m_rows[size_t(row)].bytes.isEmpty(); }
    void replace(int row, qint64 rowid, const QVector<QVariant>& values);
    // Drops a row's values: it reads as unread again.
    void forget(int row) { m_rows[size_t(row)].bytes = QByteArray(); }
    void removeAt(int row);
    // Removes the rows at ROWS, which are sorted, unique and in range.
    void removeSorted(const QVector<int>& rows);

    qint64 rowId(int row) const { return m_rows[size_t(row)].rowid; }
    // Invalid for a field the row does not have.
    QVariant value(int row, int field) const;
    QVector<QVariant> values(int row) const;
    // The row holding ROWID, -1 for none. SORTED: rowids ascend with rows.
    int indexOfRowId(qint64 rowid, bool sorted) const;

private:
    struct Entry {
        qint64 rowid;
        QByteArray bytes;
    };

    QByteArray pack(const QVector<QVariant>& values);
    QVariant unpack(const char* at) const;

    std::vector<Entry> m_rows;
    // Values of types without a packed form, found by their number.
    std::vector<QVariant> m_spilled;
    std::vector<char> m_scratch; // reused while packing
    std::vector<quint32> m_offsets;
};
