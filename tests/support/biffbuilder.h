#pragma once

#include <QByteArray>
#include <QString>

// The pieces of hand-made BIFF8 records, for the .xls tests and the import
// benchmark: little-endian numbers, a record with its header, UTF-16 text.
namespace BiffBuilder
{

QByteArray le16(int value);
QByteArray le32(quint32 value);
// TYPE, the length of DATA, then DATA.
QByteArray record(int type, const QByteArray& data);
QByteArray utf16(const QString& text);
// The BOF record of a workbook's globals (KIND 0x0005) or of a sheet (0x0010).
QByteArray bof(int version, int kind);

} // namespace BiffBuilder
