#include "pgserver.h"

#include <QTest>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <pwd.h>
#include <unistd.h>

namespace
{

bool asRoot()
{
    return ::geteuid() == 0;
}

} // namespace

PgServer::~PgServer()
{
    if (m_running)
        stop();
}

QString PgServer::binDir()
{
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(found.begin(), found.end(),
              [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& v : std::as_const(found)) {
        const QString bin = versions.filePath(v + QLatin1String("/bin"));
        if (QFile::exists(bin + QLatin1String("/initdb")) &&
            QFile::exists(bin + QLatin1String("/pg_ctl")))
            return bin;
    }
    return QString();
}

// A test killed before its end leaves its server running; the next start
// stops the servers whose test is gone and removes their folders.
void PgServer::stopOrphans()
{
    const QDir tmp(QStringLiteral("/tmp"));
    for (const QString& name :
         tmp.entryList({QStringLiteral("waylark-pg-*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile owner(tmp.filePath(name + QLatin1String("/owner")));
        if (!owner.open(QIODevice::ReadOnly))
            continue;
        const qint64 pid = owner.readAll().trimmed().toLongLong();
        owner.close();
        if (pid <= 0 || QDir(QStringLiteral("/proc/%1").arg(pid)).exists())
            continue;
        QProcess::execute(
            asRoot() ? QStringLiteral("runuser") : binDir() + "/pg_ctl",
            (asRoot() ? QStringList{"-u", "postgres", "--", binDir() + "/pg_ctl"} : QStringList()) +
                QStringList{"-D", tmp.filePath(name + "/data"), "-m", "immediate", "-w", "stop"});
        QDir(tmp.filePath(name)).removeRecursively();
    }
}

bool PgServer::run(const QStringList& command, QString* error, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(m_dir->path());
    QStringList args = command;
    QString program = args.takeFirst();
    if (asRoot()) {
        args.prepend(program);
        args = QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")} +
               args;
        program = QStringLiteral("runuser");
    }
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit ||
        p.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("%1 failed: %2")
                         .arg(command.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAll()));
        return false;
    }
    return true;
}

bool PgServer::start(QString* error)
{
    const QString bin = binDir();
    if (bin.isEmpty()) {
        *error = QStringLiteral("PostgreSQL is not installed (no /usr/lib/postgresql/*/bin)");
        return false;
    }
    if (!m_dir) {
        stopOrphans();
        // Short: the socket's path must fit in 107 bytes.
        m_dir = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/waylark-pg-XXXXXX"));
        if (!m_dir->isValid()) {
            *error = m_dir->errorString();
            return false;
        }
        QFile owner(m_dir->filePath(QStringLiteral("owner")));
        if (!owner.open(QIODevice::WriteOnly) ||
            owner.write(QByteArray::number(QCoreApplication::applicationPid())) <= 0) {
            *error = owner.errorString();
            return false;
        }
        owner.close();
        if (asRoot()) {
            const passwd* pw = ::getpwnam("postgres");
            if (!pw || ::chown(QFile::encodeName(m_dir->path()).constData(), pw->pw_uid,
                               pw->pw_gid) != 0) {
                *error = QStringLiteral("run as root, but there is no user postgres to run "
                                        "the server as");
                return false;
            }
        }
    }
    const QString data = m_dir->filePath(QStringLiteral("data"));
    if (!m_initialised) {
        if (!run({bin + QLatin1String("/initdb"), QStringLiteral("-D"), data, QStringLiteral("-U"),
                  QStringLiteral("postgres"), QStringLiteral("-A"), QStringLiteral("trust"),
                  QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
                  QStringLiteral("--no-sync")},
                 error))
            return false;
        m_initialised = true;
    }
    // No fsync: the cluster need not survive the machine, only stop(),
    // whose immediate shutdown recovers from what the server had written.
    const QString options = QStringLiteral("-k %1 -c listen_addresses='' -c fsync=off "
                                           "-c full_page_writes=off")
                                .arg(m_dir->path());
    if (!run({bin + QLatin1String("/pg_ctl"), QStringLiteral("-D"), data, QStringLiteral("-w"),
              QStringLiteral("-l"), m_dir->filePath(QStringLiteral("server.log")),
              QStringLiteral("-o"), options, QStringLiteral("start")},
             error))
        return false;
    m_running = true;
    return true;
}

bool PgServer::stop(QString* error)
{
    if (!m_running)
        return true;
    QString why;
    const bool ok = run({binDir() + QLatin1String("/pg_ctl"), QStringLiteral("-D"),
                         m_dir->filePath(QStringLiteral("data")), QStringLiteral("-w"),
                         QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("stop")},
                        &why);
    if (ok)
        m_running = false;
    if (error)
        *error = why;
    return ok;
}

bool PgServer::createDatabase(const QString& name, QString* error)
{
    const QString conn = QStringLiteral("pgserver_") + QUuid::createUuid().toString(QUuid::Id128);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), conn);
        db.setHostName(m_dir->path());
        db.setUserName(QStringLiteral("postgres"));
        db.setDatabaseName(QStringLiteral("postgres"));
        if (!db.open()) {
            *error = db.lastError().text();
        } else {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(name));
            if (!ok)
                *error = q.lastError().text();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(conn);
    return ok;
}

QString PgServer::url(const QString& database) const
{
    return QStringLiteral("postgresql://postgres@/%1?host=%2").arg(database, m_dir->path());
}

void PgServer::addEngineRows()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("file") << QStringLiteral("file");
    QTest::newRow("server") << QStringLiteral("server");
}
