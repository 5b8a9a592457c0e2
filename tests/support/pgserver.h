#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

// A PostgreSQL server of a test's own: initdb into a temporary folder, a
// Unix socket in that folder and no TCP port, stopped when this goes. Run
// by root, the server runs as the user "postgres" (it refuses root).
// In a test function (initTestCase): starts SERVER, or skips the tests
// when PostgreSQL is not installed; a server that will not start fails.
#define WAYLARK_START_PG_SERVER(server)                                                            \
    do {                                                                                           \
        if (PgServer::binDir().isEmpty())                                                          \
            QSKIP("PostgreSQL is not installed: scripts/install-deps.sh test installs it");        \
        QString pgStartError;                                                                      \
        QVERIFY2((server).start(&pgStartError), qPrintable(pgStartError));                         \
    } while (false)

class PgServer
{
public:
    // The rows "file" and "server" of a test's "engine" column, for the tests
    // that run on both engines.
    static void addEngineRows();
    PgServer() = default;
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // The folder of initdb, pg_ctl and postgres (the newest installed
    // version), empty when PostgreSQL is not installed.
    static QString binDir();

    // Makes the cluster (once) and starts the server; false with the reason.
    bool start(QString* error);
    // Stops it at once, as a crash or a pulled cable would; start() again
    // brings the same cluster back.
    bool stop(QString* error = nullptr);
    bool isRunning() const { return m_running; }

    // A new empty database on it; false with the reason.
    bool createDatabase(const QString& name, QString* error);
    // The URL Waylark takes for that database (superuser, trusted socket).
    QString url(const QString& database) const;
    QString socketDir() const { return m_dir ? m_dir->path() : QString(); }

private:
    static void stopOrphans();
    bool run(const QStringList& command, QString* error, int timeoutMs = 60000);

    std::unique_ptr<QTemporaryDir> m_dir;
    bool m_initialised = false;
    bool m_running = false;
};
