#include "data/instancelock.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace
{

using FileId = std::pair<dev_t, ino_t>;

// The files this process holds the lock of. A second taker in the same
// process is told Running without opening the file: its close would drop
// the POSIX locks SQLite holds on the file for this process.
std::set<FileId>& heldFiles()
{
    static std::set<FileId> held;
    return held;
}

QString reason(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

InstanceLock::~InstanceLock()
{
    release();
}

InstanceLock::Status InstanceLock::acquire(const QString& databaseFile)
{
    release();
    m_error.clear();
    const QByteArray name = QFile::encodeName(databaseFile);
    struct stat st;
    if (::stat(name.constData(), &st) == 0 && heldFiles().count({st.st_dev, st.st_ino}))
        return Status::Running;
    // Read and write, as the program will; O_NONBLOCK so that a FIFO in the
    // file's place does not wait for a writer.
    const int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT)
            return Status::Missing;
        m_error = reason(err);
        return Status::CannotOpen;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Status::NotAFile;
    }
    const FileId id{st.st_dev, st.st_ino};
    if (heldFiles().count(id)) { // the name was changed over to it meanwhile
        ::close(fd);
        return Status::Running;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK)
            return Status::Running;
        m_error = databaseFile + QStringLiteral(": ") + reason(err);
        return Status::Failed;
    }
    m_fd = fd;
    heldFiles().insert(id);
    return Status::Locked;
}

void InstanceLock::release()
{
    if (m_fd < 0)
        return;
    struct stat st;
    if (::fstat(m_fd, &st) == 0)
        heldFiles().erase({st.st_dev, st.st_ino});
    ::close(m_fd);
    m_fd = -1;
}
