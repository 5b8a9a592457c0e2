#include "data/packedrows.h"

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

// Values are written through a raw pointer into room made beforehand: the
// dataset packs every row it reads, so this is on the path of every open.
template <typename T> char* put(char* out, T value)
{
    std::memcpy(out, &value, sizeof value);
    return out + sizeof value;
}

template <typename T> T get(const char* at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

constexpr qsizetype kMaxLengthBytes = 10;

char* putLength(char* out, qsizetype length)
{
    auto n = quint64(length);
    while (n >= 0x80) {
        *out++ = char(n | 0x80);
        n >>= 7;
    }
    *out++ = char(n);
    return out;
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

// The most bytes V can take packed.
qsizetype packedBound(const QVariant& v)
{
    qsizetype payload = 8;
    if (v.typeId() == QMetaType::QString)
        payload = static_cast<const QString*>(v.constData())->size() * qsizetype(sizeof(QChar));
    else if (v.typeId() == QMetaType::QByteArray)
        payload = static_cast<const QByteArray*>(v.constData())->size();
    return 1 + kMaxLengthBytes + std::max<qsizetype>(payload, 8);
}

// Latin-1 when every character allows it (tried first: most texts here
// are digits and ASCII), else UTF-16.
char* putText(char* out, const QString& text)
{
    if (text.isNull()) {
        *out++ = NullString;
        return out;
    }
    const qsizetype n = text.size();
    const char16_t* chars = reinterpret_cast<const char16_t*>(text.utf16());
    char* start = out;
    *out++ = Latin1Text;
    out = putLength(out, n);
    qsizetype i = 0;
    for (; i < n && chars[i] < 0x100; ++i)
        out[i] = char(chars[i]);
    if (i == n)
        return out + n;
    out = start;
    *out++ = Utf16Text;
    out = putLength(out, n);
    std::memcpy(out, chars, size_t(n) * sizeof(char16_t));
    return out + n * qsizetype(sizeof(char16_t));
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
    const auto count = quint16(std::min<qsizetype>(values.size(), 0xffff));
    m_offsets.clear();
    size_t used = 0;
    for (int i = 0; i < count; ++i) {
        const QVariant& v = values.at(i);
        m_offsets.push_back(quint32(used));
        const size_t bound = size_t(packedBound(v));
        if (m_scratch.size() < used + bound)
            m_scratch.resize(std::max(used + bound, m_scratch.size() * 2));
        char* const begin = m_scratch.data() + used;
        char* out = begin;
        const int type = v.typeId();
        if (!v.isValid()) {
            *out++ = Invalid;
        } else if (v.isNull()) {
            *out++ = TypedNull;
            out = put<qint32>(out, type);
        } else if (type == QMetaType::QString) {
            out = putText(out, *static_cast<const QString*>(v.constData()));
        } else if (type == QMetaType::LongLong) {
            *out++ = Int64;
            out = put<qint64>(out, v.toLongLong());
        } else if (type == QMetaType::Double) {
            *out++ = Double;
            out = put<double>(out, v.toDouble());
        } else if (type == QMetaType::QByteArray &&
                   !static_cast<const QByteArray*>(v.constData())->isNull()) {
            const QByteArray& bytes = *static_cast<const QByteArray*>(v.constData());
            *out++ = Bytes;
            out = putLength(out, bytes.size());
            std::memcpy(out, bytes.constData(), size_t(bytes.size()));
            out += bytes.size();
        } else {
            *out++ = Spilled;
            out = put<quint64>(out, quint64(m_spilled.size()));
            m_spilled.push_back(v);
        }
        used += size_t(out - begin);
    }
    const int width = used <= 0xffff ? 2 : 4;
    QByteArray row(kHeader + count * width + qsizetype(used), Qt::Uninitialized);
    char* out = put<quint16>(row.data(), count);
    *out++ = char(width);
    for (const quint32 offset : m_offsets)
        out = width == 2 ? put<quint16>(out, quint16(offset)) : put<quint32>(out, offset);
    if (used)
        std::memcpy(out, m_scratch.data(), used);
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
    if (field < 0 || !isRead(row))
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
    if (!isRead(row))
        return {};
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
