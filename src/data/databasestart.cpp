#include "data/databasestart.h"

#include "base/appmessages.h"
#include "base/guarded.h"
#include "base/prompt.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "data/headerguard.h"
#include "data/rowclaims.h"
#include "data/safefile.h"
#include "data/serveraddress.h"
#include "data/termination.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace
{

QString cannotWrite(const QString& path, const QString& reason)
{
    return withReason(QStringLiteral("数据库文件不能写入：") + path, reason);
}

QString foreignFile(const QString& path)
{
    return QStringLiteral("数据库文件不是本程序的数据库或已损坏，程序没有改动它：\n") + path;
}

} // namespace

DatabaseStart::DatabaseStart(const DataLocation& where) : m_where(where) {}

DatabaseStart::~DatabaseStart()
{
    shutdown();
}

void DatabaseStart::startSession()
{
    m_session = Session::forAppDir(m_where.appDir);
    m_session.helpDir = m_where.helpDir;
    m_session.databaseFile = m_where.databaseFile;
    // config.ini's problems, said once for the run: here on standard error,
    // by the windows in their status bar.
    m_session.configProblems = ConfigIni::problems(m_session.appDir);
    for (const QString& problem : std::as_const(m_session.configProblems)) {
        const QByteArray text = problem.toLocal8Bit() + '\n';
        std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    }
    std::fflush(stderr);
}

bool DatabaseStart::acquireServer()
{
    QString error;
    const ServerAddress server = ServerAddress::parse(m_where.databaseServer, &error);
    if (!error.isEmpty()) {
        prompt().message(error);
        return false;
    }
    startSession();
    m_session.databaseServer = server.shown();
    m_dm = std::make_unique<DataModule>();
    if (!guarded([&] {
            m_dm->connectServer(server, RowClaims::stationName(m_where.appDir));
            m_dm->openAll();
        })) {
        m_dm.reset();
        return false;
    }
    return true;
}

bool DatabaseStart::acquire()
{
    // The stations share a server: no lock, no header to guard.
    if (!m_where.databaseServer.isEmpty())
        return acquireServer();
    const QString dbName = m_where.databaseFile;
    const QString shownName = QFileInfo(dbName).absoluteFilePath();
    // 1. One instance per database file, taken before the file is touched.
    switch (m_lock.acquire(dbName)) {
    case InstanceLock::Status::Locked:
        break;
    case InstanceLock::Status::Running:
        prompt().message(QStringLiteral("程 序 已 经 运 行!"), QStringLiteral(" 警告"),
                         Prompt::Icon::Stop);
        return false;
    case InstanceLock::Status::Missing:
        prompt().message(QStringLiteral("数据库文件初始化失败！"));
        prompt().error(withReason(QStringLiteral("数据库打开错误：") + shownName,
                                  QString::fromLocal8Bit(std::strerror(ENOENT))));
        return false;
    case InstanceLock::Status::CannotOpen:
        prompt().message(cannotWrite(shownName, m_lock.error()));
        return false;
    case InstanceLock::Status::NotAFile:
        prompt().message(foreignFile(shownName));
        return false;
    case InstanceLock::Status::Failed:
        prompt().message(QStringLiteral("无法建立程序运行锁，程序没有启动。\n") + m_lock.error(),
                         QStringLiteral(" 警告"), Prompt::Icon::Stop);
        return false;
    }
    // 2. The application directory.
    startSession();

    // 3. The standard header back into a sealed file, and into no other.
    QString error;
    switch (restoreHeader(dbName, &error)) {
    case HeaderGuard::Result::Missing: // gone since it was locked
        prompt().message(QStringLiteral("数据库文件初始化失败！"));
        m_lock.release();
        return false;
    case HeaderGuard::Result::OpenFailed:
        prompt().message(cannotWrite(shownName, error));
        m_lock.release();
        return false;
    case HeaderGuard::Result::Foreign:
        prompt().message(foreignFile(shownName));
        m_lock.release();
        return false;
    case HeaderGuard::Result::InUse:
        prompt().message(QStringLiteral("数据库文件正被其他程序使用，请关闭该程序后再试：\n") +
                         shownName);
        m_lock.release();
        return false;
    case HeaderGuard::Result::Written:
        m_restored = true;
        break;
    case HeaderGuard::Result::AlreadyInPlace: // left open by a run that was killed
        break;
    }

    // 4 to 6. The data module, the connection and every dataset.
    m_dm = std::make_unique<DataModule>();
    const bool ok = guarded([&] {
        m_dm->connectDatabase(dbName);
        m_dm->openAll();
    });
    if (!ok) {
        m_dm.reset();
        // Leave the file as it was found: sealed only when it was sealed.
        if (m_restored)
            sealHeader(dbName);
        m_restored = false;
        m_lock.release();
        return false;
    }
    // A database of ours is sealed at the end, also one a killed run left open.
    m_sealAtExit = true;
    return true;
}

void DatabaseStart::closeAndSeal()
{
    if (m_closeWindows && m_closeWindows()) // the windows seal once themselves
        m_sealAtExit = false;
    if (m_dm)
        m_dm->closeDatabase();
    m_restored = false;
    if (m_sealAtExit) {
        m_sealAtExit = false;
        if (sealHeader(m_where.databaseFile) == HeaderGuard::Result::Missing)
            prompt().message(QString::fromUtf8(AppMessages::DatabaseMissing));
    }
}

void DatabaseStart::shutdown()
{
    closeAndSeal();
    m_dm.reset();
    m_lock.release();
}

void DatabaseStart::terminate()
{
    // Output files in the making go first: nothing half-written stays. The
    // windows stay as they are: the process ends right after this.
    SafeFile::removeAllPending();
    closeAndSeal();
    m_lock.release();
}

void DatabaseStart::endOnSignals(int exitStatus)
{
    Termination::install([this, exitStatus](int) {
        terminate();
        if (exitStatus != 0) {
            const QByteArray text = QByteArray("程序收到结束信号，数据库已关闭，程序退出。\n");
            [[maybe_unused]] const ssize_t n =
                ::write(STDERR_FILENO, text.constData(), size_t(text.size()));
        }
        std::fflush(nullptr);
        ::_exit(exitStatus);
    });
}
