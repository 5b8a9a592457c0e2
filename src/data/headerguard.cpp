#include "data/headerguard.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace HeaderGuard
{

namespace
{

// SQLite's lock bytes on POSIX: the pending byte at 1 GiB, the reserved byte
// and 510 shared bytes. Holding all of them keeps any SQLite connection of
// another process out while the header changes, and fails while one is in.
constexpr off_t kLockStart = 0x40000000;
constexpr off_t kLockLength = 512;

QString reason(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

class Fd
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

Result fail(QString* error, int err, Result result = Result::OpenFailed)
{
    if (error)
        *error = reason(err);
    return result;
}

} // namespace

QByteArray standardHeader()
{
    return QByteArray("SQLite format 3\0", 16);
}

QByteArray sealedHeader()
{
    return QByteArray("\0Waylark sealed\x1a", 16);
}

Result swapHeader(const QString& fileName, const QByteArray& expected,
                  const QByteArray& replacement, QString* error)
{
    Q_ASSERT(expected.size() == 16 && replacement.size() == 16);
    const QByteArray path = QFile::encodeName(fileName);
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return errno == ENOENT ? Result::Missing : fail(error, errno);
    // O_NONBLOCK: a FIFO in the file's place must not wait for a writer.
    Fd fd(::open(path.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        return fail(error, errno);
    if (::fstat(fd.get(), &st) != 0)
        return fail(error, errno);
    if (!S_ISREG(st.st_mode))
        return fail(error, EINVAL, Result::Foreign);

    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kLockStart;
    lock.l_len = kLockLength;
    if (::fcntl(fd.get(), F_SETLK, &lock) != 0) {
        if (errno == EACCES || errno == EAGAIN)
            return fail(error, errno, Result::InUse);
        return fail(error, errno);
    }
    // Closing the descriptor releases the lock bytes.

    char head[16];
    const ssize_t n = ::pread(fd.get(), head, sizeof head, 0);
    if (n < 0)
        return fail(error, errno);
    const QByteArray current(head, int(n));
    if (current == replacement)
        return Result::AlreadyInPlace;
    if (current != expected) {
        if (error)
            error->clear();
        return Result::Foreign;
    }
    if (::pwrite(fd.get(), replacement.constData(), 16, 0) != 16)
        return fail(error, errno ? errno : EIO);
    if (::fdatasync(fd.get()) != 0)
        return fail(error, errno);
    return Result::Written;
}

} // namespace HeaderGuard

HeaderGuard::Result restoreHeader(const QString& fileName, QString* error)
{
    return HeaderGuard::swapHeader(fileName, HeaderGuard::sealedHeader(),
                                   HeaderGuard::standardHeader(), error);
}

HeaderGuard::Result sealHeader(const QString& fileName, QString* error)
{
    return HeaderGuard::swapHeader(fileName, HeaderGuard::standardHeader(),
                                   HeaderGuard::sealedHeader(), error);
}
