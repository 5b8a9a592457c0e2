#pragma once

#include <QByteArray>
#include <QString>

// The first 16 bytes of the database file are swapped between SQLite's own
// header (while the program runs) and a sealed pattern of ours (between
// runs), so that the file does not open as a database outside the program.
namespace HeaderGuard {

enum class Result { Written, Missing, OpenFailed };

QByteArray standardHeader(); // "SQLite format 3\0"
QByteArray sealedHeader();   // 16 bytes, first byte 0x00

// Writes the 16 bytes at offset 0 without truncating or growing the file.
Result writeHeader(const QString& fileName, const QByteArray& header, QString* error = nullptr);

} // namespace HeaderGuard

HeaderGuard::Result DB_Header_Restore(const QString& fileName, QString* error = nullptr);
HeaderGuard::Result DB_Header_Seal(const QString& fileName, QString* error = nullptr);
