#include "data/instancelock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

QString reason(const QString& path, int err)
{
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(err));
}

// A directory of ours, not a link, not open to others (made so when `fix`).
bool isPrivateFolder(const QByteArray& path, QString* error, bool fix = true)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) {
        *error = reason(QFile::decodeName(path), errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        *error = reason(QFile::decodeName(path), ENOTDIR);
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        *error = reason(QFile::decodeName(path), EPERM);
        return false;
    }
    if (st.st_mode & 077) {
        if (!fix || ::chmod(path.constData(), 0700) != 0) {
            *error = reason(QFile::decodeName(path), fix ? errno : EPERM);
            return false;
        }
    }
    return true;
}

QString homeFolder()
{
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && *pw->pw_dir)
        return QFile::decodeName(pw->pw_dir);
    return QDir::homePath();
}

QString canonicalDatabasePath(const QString& databaseFile)
{
    const QFileInfo info(databaseFile);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString dir = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (!dir.isEmpty())
        return dir + QLatin1Char('/') + info.fileName();
    return info.absoluteFilePath();
}

} // namespace

InstanceLock::~InstanceLock()
{
    release();
}

QString InstanceLock::folder(QString* error)
{
    QString ignored;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/') && isPrivateFolder(runtime, &ignored, false))
        return QFile::decodeName(runtime);

    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!cache.startsWith(QLatin1Char('/')))
        cache = homeFolder() + QStringLiteral("/.cache");
    const QString dir = cache + QStringLiteral("/waylark");
    const QByteArray cacheName = QFile::encodeName(cache);
    const QByteArray dirName = QFile::encodeName(dir);
    if (!QDir().mkpath(cache)) {
        struct stat st;
        *error = reason(cache, ::stat(cacheName.constData(), &st) == 0 ? ENOTDIR : errno);
        return QString();
    }
    if (::mkdir(dirName.constData(), 0700) != 0 && errno != EEXIST) {
        *error = reason(dir, errno);
        return QString();
    }
    if (!isPrivateFolder(dirName, error))
        return QString();
    return dir;
}

QString InstanceLock::fileNameFor(const QString& databaseFile, QString* error)
{
    const QString dir = folder(error);
    if (dir.isEmpty())
        return QString();
    const QByteArray hash = QCryptographicHash::hash(canonicalDatabasePath(databaseFile).toUtf8(),
                                                     QCryptographicHash::Sha256)
                                .toHex()
                                .left(32);
    return dir + QStringLiteral("/waylark-") + QString::fromLatin1(hash) + QStringLiteral(".lock");
}

InstanceLock::Status InstanceLock::acquire(const QString& databaseFile)
{
    release();
    m_error.clear();
    m_fileName = fileNameFor(databaseFile, &m_error);
    if (m_fileName.isEmpty())
        return Status::Failed;
    const QByteArray name = QFile::encodeName(m_fileName);
    // The holder removes the file on release; a lock taken on a file that
    // was removed meanwhile is no lock, so try again on the new one.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            m_error = reason(m_fileName, errno);
            return Status::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            ::close(fd);
            if (err == EWOULDBLOCK)
                return Status::Running;
            m_error = reason(m_fileName, err);
            return Status::Failed;
        }
        struct stat held;
        struct stat now;
        if (::fstat(fd, &held) == 0 && ::stat(name.constData(), &now) == 0 &&
            held.st_dev == now.st_dev && held.st_ino == now.st_ino) {
            m_fd = fd;
            // For a person looking into the folder: whose lock this is.
            const QByteArray text = canonicalDatabasePath(databaseFile).toUtf8() + '\n';
            if (::ftruncate(fd, 0) == 0) {
                [[maybe_unused]] const ssize_t n =
                    ::write(fd, text.constData(), size_t(text.size()));
            }
            return Status::Locked;
        }
        ::close(fd);
    }
    m_error = reason(m_fileName, EAGAIN);
    return Status::Failed;
}

void InstanceLock::release()
{
    if (m_fd < 0)
        return;
    ::unlink(QFile::encodeName(m_fileName).constData());
    ::close(m_fd);
    m_fd = -1;
}
