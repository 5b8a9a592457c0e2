#include "biffbuilder.h"

#include <QtEndian>

namespace BiffBuilder
{

QByteArray le16(int value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian<quint16>(quint16(value), bytes.data());
    return bytes;
}

QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian<quint32>(value, bytes.data());
    return bytes;
}

QByteArray record(int type, const QByteArray& data)
{
    return le16(type) + le16(int(data.size())) + data;
}

QByteArray utf16(const QString& text)
{
    QByteArray bytes;
    for (const QChar c : text)
        bytes += le16(c.unicode());
    return bytes;
}

QByteArray bof(int version, int kind)
{
    return record(0x0809, le16(version) + le16(kind) + QByteArray(12, '\0'));
}

} // namespace BiffBuilder
