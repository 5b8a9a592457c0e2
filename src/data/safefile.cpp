#include "data/safefile.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

QSet<QString>& pending()
{
    static QSet<QString> names;
    return names;
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

SafeFile::SafeFile(const QString& target) : m_target(target) {}

SafeFile::~SafeFile()
{
    discard();
}

namespace
{
const QString kCannotWrite = QStringLiteral("无法写入文件");
} // namespace

void SafeFile::fail(const QString& what, int err, const QString& systemText)
{
    QString why;
    switch (err) {
    case ENOSPC:
    case EDQUOT:
        why = QStringLiteral("磁盘已满。");
        break;
    case ENOENT:
        why = QStringLiteral("文件夹不存在。");
        break;
    case ENOTDIR:
        why = QStringLiteral("路径中有一项不是文件夹。");
        break;
    case EACCES:
    case EPERM:
        why = QStringLiteral("文件是只读的，或没有写入权限。");
        break;
    case EROFS:
        why = QStringLiteral("文件所在的磁盘是只读的。");
        break;
    case EISDIR:
        why = QStringLiteral("同名的文件夹已存在。");
        break;
    default:
        break;
    }
    m_error = what + QLatin1Char(' ') + m_target +
              (why.isEmpty() ? QStringLiteral("。") : QStringLiteral("：") + why) +
              QLatin1Char('\n') +
              (systemText.isEmpty() ? QString::fromLocal8Bit(std::strerror(err)) : systemText);
}

bool SafeFile::open()
{
    discard();
    m_error.clear();
    const QFileInfo info(m_target);
    if (info.isDir()) {
        fail(kCannotWrite, EISDIR);
        return false;
    }
    // A read-only file stays as it is, as a plain write would leave it.
    if (info.exists() && ::access(QFile::encodeName(m_target).constData(), W_OK) != 0) {
        fail(kCannotWrite, errno);
        return false;
    }
    const QString stem = info.absolutePath() + QLatin1Char('/') + info.fileName();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            stem + QStringLiteral(".%1.part")
                       .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const int fd = ::open(QFile::encodeName(name).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            fail(kCannotWrite, errno);
            return false;
        }
        if (!m_file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            ::unlink(QFile::encodeName(name).constData());
            fail(kCannotWrite, EIO);
            return false;
        }
        m_temp = name;
        pending().insert(name);
        return true;
    }
    fail(kCannotWrite, EEXIST);
    return false;
}

bool SafeFile::flush()
{
    errno = 0;
    // A write that failed on the way (a full disk) leaves the device's error.
    if (!m_file.isOpen() || m_file.error() != QFileDevice::NoError || !m_file.flush()) {
        fail(kCannotWrite, errno ? errno : EIO, m_file.errorString());
        return false;
    }
    return true;
}

bool SafeFile::commit()
{
    if (m_temp.isEmpty() || !m_file.isOpen()) {
        if (m_error.isEmpty())
            fail(kCannotWrite, EBADF);
        return false;
    }
    const int fd = m_file.handle();
    if (!flush()) {
        discard();
        return false;
    }
    // A new file gets the usual permissions; an existing one keeps its own.
    struct stat st;
    const QByteArray target = QFile::encodeName(m_target);
    const mode_t mode =
        ::stat(target.constData(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~currentUmask());
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
        fail(kCannotWrite, errno);
        discard();
        return false;
    }
    m_file.close();
    if (::rename(QFile::encodeName(m_temp).constData(), target.constData()) != 0) {
        fail(QStringLiteral("无法替换文件"), errno);
        discard();
        return false;
    }
    pending().remove(m_temp);
    m_temp.clear();
    return true;
}

void SafeFile::discard()
{
    if (m_file.isOpen())
        m_file.close();
    if (!m_temp.isEmpty()) {
        ::unlink(QFile::encodeName(m_temp).constData());
        pending().remove(m_temp);
        m_temp.clear();
    }
}

void SafeFile::removeAllPending()
{
    for (const QString& name : std::as_const(pending()))
        ::unlink(QFile::encodeName(name).constData());
    pending().clear();
}
