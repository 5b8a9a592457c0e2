#pragma once

#include <QByteArray>
#include <QString>

// The first 16 bytes of the database file are swapped between SQLite's own
// header (while the program runs) and a sealed pattern of ours (between
// runs), so that the file does not open as a database outside the program.
// Only a file that carries the other pattern is ever written: any other file
// is left byte-for-byte as it is.
namespace HeaderGuard
{

enum class Result {
    Written,        // the header was swapped
    AlreadyInPlace, // the file already carries the wanted header; nothing written
    Missing,        // no such file
    OpenFailed,     // the file cannot be opened or written (error says why)
    Foreign,        // neither header: not a file of ours; nothing written
    InUse,          // another process holds SQLite's locks on it; nothing written
};

QByteArray standardHeader(); // "SQLite format 3\0"
QByteArray sealedHeader();   // 16 bytes, first byte 0x00

// Replaces the 16 bytes at offset 0 with `replacement` only when they are
// exactly `expected`, while holding every SQLite lock byte of the file, and
// without truncating or growing it.
Result swapHeader(const QString& fileName, const QByteArray& expected,
                  const QByteArray& replacement, QString* error = nullptr);

} // namespace HeaderGuard

// Sealed to standard, and back.
HeaderGuard::Result restoreHeader(const QString& fileName, QString* error = nullptr);
HeaderGuard::Result sealHeader(const QString& fileName, QString* error = nullptr);
