#include "packedrows.h"

#include <algorithm>
#include <cstring>

namespace
{

// The first byte of each packed value.
enum Tag : char {
    Invalid,    // QVariant()
    TypedNull,  // a null of a type, as SQL NULL reads; the type's id follows
    NullString, // a variant holding a null QString
    Latin1Text, // length, then one byte per character
    Utf16Text,  // length, then two bytes per character
    Int64,
    Double,
    Bytes,   // length, then the bytes
    Spilled, // the number of a value kept aside
};

// Row layout: quint16 value count, one byte offset width (2 or 4), the
// offsets of the values from the end of the table, then the values.
constexpr int kHeader = 3;

void putRaw(QByteArray& out, const void* data, qsizetype size)
{
    out.append(static_cast<const char*>(data), size);
}

template <typename T> void put(QByteArray& out, T value)
{
    putRaw(out, &value, sizeof value);
}

template <typename T> T get(const char* at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void putLength(QByteArray& out, qsizetype length)
{
    auto n = quint64(length);
    while (n >= 0x80) {
        out.append(char(n | 0x80));
        n >>= 7;
    }
    out.append(char(n));
}

qsizetype getLength(const char*& at)
{
    quint64 n = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = quint8(*at++);
        n |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return qsizetype(n);
    }
}

bool isLatin1(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
}

void putText(QByteArray& out, const QString& text)
{
    if (text.isNull()) {
        out.append(char(NullString));
    } else if (isLatin1(text)) {
        out.append(char(Latin1Text));
        putLength(out, text.size());
        const qsizetype at = out.size();
        out.resize(at + text.size());
        char* dst = out.data() + at;
        for (const QChar c : text)
            *dst++ = char(c.unicode());
    } else {
        out.append(char(Utf16Text));
        putLength(out, text.size());
        putRaw(out, text.constData(), text.size() * qsizetype(sizeof(QChar)));
    }
}

} // namespace

void PackedRows::clear()
{
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_spilled.clear();
}

QByteArray PackedRows::pack(const QVector<QVariant>& values)
{
    m_scratch.clear();
    m_offsets.clear();
    for (const QVariant& v : values) {
        m_offsets.push_back(quint32(m_scratch.size()));
        const int type = v.typeId();
        if (!v.isValid()) {
            m_scratch.append(char(Invalid));
        } else if (v.isNull()) {
            m_scratch.append(char(TypedNull));
            put<qint32>(m_scratch, type);
        } else if (type == QMetaType::QString) {
            putText(m_scratch, *static_cast<const QString*>(v.constData()));
        } else if (type == QMetaType::LongLong) {
            m_scratch.append(char(Int64));
            put<qint64>(m_scratch, v.toLongLong());
        } else if (type == QMetaType::Double) {
            m_scratch.append(char(Double));
            put<double>(m_scratch, v.toDouble());
        } else if (type == QMetaType::QByteArray &&
                   !static_cast<const QByteArray*>(v.constData())->isNull()) {
            const QByteArray& bytes = *static_cast<const QByteArray*>(v.constData());
            m_scratch.append(char(Bytes));
            putLength(m_scratch, bytes.size());
            m_scratch.append(bytes);
        } else {
            m_scratch.append(char(Spilled));
            put<quint64>(m_scratch, quint64(m_spilled.size()));
            m_spilled.push_back(v);
        }
    }
    const auto count = quint16(std::min<qsizetype>(values.size(), 0xffff));
    const int width = m_scratch.size() <= 0xffff ? 2 : 4;
    QByteArray row;
    row.reserve(kHeader + count * width + m_scratch.size());
    put<quint16>(row, count);
    row.append(char(width));
    for (int i = 0; i < count; ++i) {
        if (width == 2)
            put<quint16>(row, quint16(m_offsets[size_t(i)]));
        else
            put<quint32>(row, m_offsets[size_t(i)]);
    }
    row.append(m_scratch);
    return row;
}

QVariant PackedRows::unpack(const char* at) const
{
    const char tag = *at++;
    switch (tag) {
    case TypedNull:
        return QVariant(QMetaType(get<qint32>(at)));
    case NullString:
        return QVariant(QString());
    case Latin1Text: {
        const qsizetype n = getLength(at);
        return QVariant(QString::fromLatin1(at, n));
    }
    case Utf16Text: {
        const qsizetype n = getLength(at);
        QString text(n, Qt::Uninitialized);
        std::memcpy(text.data(), at, size_t(n) * sizeof(QChar));
        return QVariant(text);
    }
    case Int64:
        return QVariant(get<qint64>(at));
    case Double:
        return QVariant(get<double>(at));
    case Bytes: {
        const qsizetype n = getLength(at);
        return QVariant(QByteArray(at, n));
    }
    case Spilled:
        return m_spilled[size_t(get<quint64>(at))];
    default:
        return QVariant();
    }
}

void PackedRows::append(qint64 rowid, const QVector<QVariant>& values)
{
    m_rows.push_back({rowid, pack(values)});
}

void PackedRows::replace(int row, qint64 rowid, const QVector<QVariant>& values)
{
    Entry& entry = m_rows[size_t(row)];
    entry.rowid = rowid;
    entry.bytes = pack(values);
}

void PackedRows::removeAt(int row)
{
    m_rows.erase(m_rows.begin() + row);
}

void PackedRows::removeSorted(const QVector<int>& rows)
{
    size_t kept = 0;
    int k = 0;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (k < rows.size() && size_t(rows.at(k)) == i) {
            ++k;
            continue;
        }
        if (kept != i)
            m_rows[kept] = std::move(m_rows[i]);
        ++kept;
    }
    m_rows.resize(kept);
}

QVariant PackedRows::value(int row, int field) const
{
    if (field < 0)
        return QVariant();
    const char* bytes = m_rows[size_t(row)].bytes.constData();
    const int count = get<quint16>(bytes);
    if (field >= count)
        return QVariant();
    const int width = bytes[2];
    const char* table = bytes + kHeader;
    const quint32 offset =
        width == 2 ? get<quint16>(table + field * 2) : get<quint32>(table + field * 4);
    return unpack(table + count * width + offset);
}

QVector<QVariant> PackedRows::values(int row) const
{
    const int count = get<quint16>(m_rows[size_t(row)].bytes.constData());
    QVector<QVariant> result;
    result.reserve(count);
    for (int field = 0; field < count; ++field)
        result.append(value(row, field));
    return result;
}

int PackedRows::indexOfRowId(qint64 rowid, bool sorted) const
{
    if (sorted) {
        auto it = std::lower_bound(m_rows.begin(), m_rows.end(), rowid,
                                   [](const Entry& e, qint64 id) { return e.rowid < id; });
        if (it != m_rows.end() && it->rowid == rowid)
            return int(it - m_rows.begin());
    }
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].rowid == rowid)
            return int(i);
    }
    return -1;
}
