#include "headerguard.h"

#include <QFile>
#include <QFileInfo>

namespace HeaderGuard {

QByteArray standardHeader()
{
    return QByteArray("SQLite format 3\0", 16);
}

QByteArray sealedHeader()
{
    return QByteArray("\0Waylark sealed\x1a", 16);
}

Result writeHeader(const QString& fileName, const QByteArray& header, QString* error)
{
    Q_ASSERT(header.size() == 16);
    if (!QFileInfo::exists(fileName))
        return Result::Missing;
    QFile file(fileName);
    // ReadWrite keeps the length; WriteOnly alone would truncate.
    if (!file.open(QIODevice::ReadWrite) || file.write(header) != header.size()) {
        if (error)
            *error = file.errorString();
        return Result::OpenFailed;
    }
    if (!file.flush()) {
        if (error)
            *error = file.errorString();
        return Result::OpenFailed;
    }
    return Result::Written;
}

} // namespace HeaderGuard

HeaderGuard::Result DB_Header_Restore(const QString& fileName, QString* error)
{
    return HeaderGuard::writeHeader(fileName, HeaderGuard::standardHeader(), error);
}

HeaderGuard::Result DB_Header_Seal(const QString& fileName, QString* error)
{
    return HeaderGuard::writeHeader(fileName, HeaderGuard::sealedHeader(), error);
}
