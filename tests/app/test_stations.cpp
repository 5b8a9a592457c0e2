// Stations sharing one PostgreSQL server, as processes of the program: a
// station killed while printing and a server that goes away during a batch.
#include "data/configini.h"
#include "data/serveraddress.h"
#include "fakegateway.h"
#include "freshdatabase.h"
#include "pgserver.h"
#include "tempworkdir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace
{

// Rows enough that a run of `print --unprinted` is still drawing when it is
// interrupted.
constexpr int kRows = 1500;
constexpr int kLeaseSeconds = 10; // the shortest config.ini takes

const QString kConnection = QStringLiteral("watcher");

struct Run {
    int status = -1;
    QString errors;
};

} // namespace

class TestStations : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempWorkDir> m_tmp;
    std::unique_ptr<PgServer> m_server;
    QString m_url;

    QSqlDatabase db() const { return QSqlDatabase::database(kConnection, false); }

    // One number the watcher's connection reads from the server.
    int number(const QString& sql) const
    {
        QSqlQuery q(db());
        if (!q.exec(sql) || !q.next())
            return -1;
        return q.value(0).toInt();
    }

    void connectWatcher()
    {
        QString error;
        QSqlDatabase d = ServerAddress::parse(m_url, &error).addConnection(kConnection);
        QVERIFY2(d.open(), qPrintable(d.lastError().text()));
    }

    QStringList printArgs(const QString& pdf) const
    {
        return {"--database", m_url, "print", "--pdf", m_tmp->filePath(pdf), "--unprinted"};
    }

    void startPrint(QProcess& exe, const QString& pdf)
    {
        exe.setWorkingDirectory(m_tmp->path());
        exe.start(m_tmp->filePath("waylark"), printArgs(pdf));
        QVERIFY(exe.waitForStarted(30000));
    }

    Run runPrint(const QString& pdf)
    {
        QProcess exe;
        Run run;
        startPrint(exe, pdf);
        if (!exe.waitForFinished(300000))
            exe.kill();
        run.status = exe.exitStatus() == QProcess::NormalExit ? exe.exitCode() : -1;
        run.errors = QString::fromLocal8Bit(exe.readAllStandardError());
        return run;
    }

    // Waits until the running print has claimed its rows and draws them.
    bool claimed(const QProcess& exe)
    {
        return QTest::qWaitFor(
                   [&] {
                       return exe.state() != QProcess::Running ||
                              number("SELECT count(*) FROM Exp_Att_Info WHERE Claimed_By IS NOT "
                                     "NULL") > 0;
                   },
                   120000) &&
               exe.state() == QProcess::Running;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (PgServer::binDir().isEmpty())
            QSKIP("PostgreSQL is not installed: scripts/install-deps.sh test installs it");
    }

    // The program in a fresh application directory with a short lease, and
    // a server database copied from its file holding kRows unprinted rows.
    void init()
    {
        m_tmp = std::make_unique<TempWorkDir>();
        QVERIFY(makeFreshAppDir(m_tmp->path()));
        QVERIFY(QFile::copy(QStringLiteral(WAYLARK_EXE), m_tmp->filePath("waylark")));
        QVERIFY(ConfigIni::writeString(m_tmp->appDir(), "Database", "LeaseSeconds",
                                       QString::number(kLeaseSeconds)));
        m_server = std::make_unique<PgServer>();
        QString error;
        QVERIFY2(m_server->start(&error), qPrintable(error));
        QVERIFY2(m_server->createDatabase("stations", &error), qPrintable(error));
        m_url = m_server->url("stations");
        QProcess copy;
        copy.setWorkingDirectory(m_tmp->path());
        copy.start(m_tmp->filePath("waylark"), {"db", "copy", "--to", m_url});
        QVERIFY(copy.waitForFinished(120000));
        QVERIFY2(copy.exitCode() == 0, qPrintable(copy.readAllStandardError()));
        connectWatcher();
        QSqlQuery q(db());
        QVERIFY2(q.exec(QStringLiteral("DELETE FROM Exp_Att_Info")),
                 qPrintable(q.lastError().text()));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO Exp_Att_Info (Name, Address) SELECT '收件人' || "
                                      "i, '地址' || i FROM generate_series(1, %1) AS i")
                           .arg(kRows)));
    }

    void cleanup()
    {
        {
            QSqlDatabase d = db();
            d.close();
        }
        QSqlDatabase::removeDatabase(kConnection);
        m_server.reset();
        m_tmp.reset();
    }

    // A station killed in the middle of `print --unprinted` holds its rows
    // until its lease runs out, then they go back: a later run prints them.
    // Every row is printed once, and the marks equal the pages of the jobs
    // that were handed over.
    void killedStationsRowsComeBack()
    {
        QProcess killed;
        startPrint(killed, "killed.pdf");
        QVERIFY(claimed(killed));
        killed.kill();
        QVERIFY(killed.waitForFinished(30000));
        QCOMPARE(killed.exitStatus(), QProcess::CrashExit);
        const int held =
            number("SELECT count(*) FROM Exp_Att_Info WHERE Claimed_By IS NOT NULL AND "
                   "Print_Count IS NULL");
        QVERIFY(held > 0);

        // While the lease runs another run leaves them alone.
        const Run during = runPrint("during.pdf");
        QVERIFY2(during.status == 0 ||
                     (during.status == 1 && during.errors.contains("没有要打印的收件人")),
                 qPrintable(during.errors));
        QCOMPARE(number("SELECT count(*) FROM Exp_Att_Info WHERE Print_Count IS NULL"), held);

        // Once the lease has run out no row is held any more.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return number("SELECT count(*) FROM Exp_Att_Info WHERE Claimed_Until > now()") == 0;
            },
            60000));
        const Run again = runPrint("again.pdf");
        QVERIFY2(again.status == 0, qPrintable(again.errors));

        QCOMPARE(number("SELECT count(*) FROM Exp_Att_Info WHERE Print_Count = 1"), kRows);
        QCOMPARE(number("SELECT count(*) FROM Exp_Att_Info WHERE Print_Count IS DISTINCT FROM 1"),
                 0);
        QCOMPARE(number("SELECT count(*) FROM Exp_Att_Info WHERE Claimed_By IS NOT NULL"), 0);
        QCOMPARE(number("SELECT sum(Pages) FROM Print_Log"), kRows);
        QCOMPARE(number("SELECT count(*) FROM Print_Pending_All"), 0);
        QVERIFY(QFile::exists(m_tmp->filePath("again.pdf")));
    }

    // The server stopped while a batch is drawn: the job stops, the run
    // fails, and the rows of a job never handed over stay unmarked.
    void serverStoppedDuringABatch()
    {
        QProcess run;
        startPrint(run, "stopped.pdf");
        QVERIFY(claimed(run));
        QVERIFY(m_server->stop());
        QVERIFY(run.waitForFinished(120000));
        const QString errors = QString::fromLocal8Bit(run.readAllStandardError());
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QVERIFY2(run.exitCode() != 0, qPrintable(errors));
        QVERIFY(!QFile::exists(m_tmp->filePath("stopped.pdf")));

        QString error;
        QVERIFY2(m_server->start(&error), qPrintable(error));
        {
            QSqlDatabase d = db();
            d.close();
            QVERIFY2(d.open(), qPrintable(d.lastError().text()));
        }
        QCOMPARE(number("SELECT count(*) FROM Exp_Att_Info WHERE Print_Count IS NOT NULL OR "
                        "Printed_At IS NOT NULL"),
                 0);
        QCOMPARE(number("SELECT count(*) FROM Print_Log"), 0);
    }

    // Two stations downloading the same orders at the same time: every
    // order is added once, and what each says it added, found present or
    // left to the other adds up.
    void stationsDownloadEachOrderOnce()
    {
        constexpr int kOrders = 300;
        FakeGateway gateway("s3cr3t");
        QList<FakeOrder> orders;
        for (int n = 1; n <= kOrders; ++n)
            orders << FakeOrder{"T" + QByteArray::number(n), "WAIT_SELLER_SEND_GOODS",
                                QStringLiteral("买家%1").arg(n), QString()};
        gateway.holdOrders(orders);
        QVERIFY(ConfigIni::writeString(m_tmp->appDir(), "Shop", "GatewayUrl",
                                       gateway.url().toString()));
        QSqlQuery q(db());
        QVERIFY2(q.exec("INSERT INTO Shop_Info (Nick, App_Key, Secret, Sesstion) VALUES "
                        "('shopnick', '12345678', 's3cr3t', '6100a20b')"),
                 qPrintable(q.lastError().text()));

        std::vector<std::unique_ptr<QProcess>> runs;
        for (int n = 0; n < 2; ++n) {
            runs.push_back(std::make_unique<QProcess>());
            runs.back()->setWorkingDirectory(m_tmp->path());
            runs.back()->start(m_tmp->filePath("waylark"),
                               {"--database", m_url, "download", "--append"});
        }
        // The test's event loop serves the gateway meanwhile.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return runs[0]->state() == QProcess::NotRunning &&
                       runs[1]->state() == QProcess::NotRunning;
            },
            300000));
        static const QRegularExpression counts(
            QStringLiteral(
                "新订单 (\\d+) 条，已有 (\\d+) 条.*?(?:另有 (\\d+) 条.*?)?已保存 (\\d+) 条"),
            QRegularExpression::DotMatchesEverythingOption);
        int added = 0;
        for (auto& run : runs) {
            const QString errors = QString::fromLocal8Bit(run->readAllStandardError());
            QVERIFY2(run->exitStatus() == QProcess::NormalExit && run->exitCode() == 0,
                     qPrintable(errors));
            const QRegularExpressionMatch m = counts.match(errors);
            QVERIFY2(m.hasMatch(), qPrintable(errors));
            const int fresh = m.captured(1).toInt();
            QCOMPARE(fresh + m.captured(2).toInt() + m.captured(3).toInt(), kOrders);
            QCOMPARE(m.captured(4).toInt(), fresh);
            added += fresh;
        }
        QCOMPARE(added, kOrders);
        QCOMPARE(number("SELECT count(*) FROM Exp_Att_Info WHERE Order_No <> ''"), kOrders);
        QCOMPARE(number("SELECT count(DISTINCT Order_No) FROM Exp_Att_Info"), kOrders);
        QCOMPARE(number("SELECT count(*) FROM Order_Number"), kOrders);
        QVERIFY2(gateway.problems.isEmpty(), qPrintable(gateway.problems.join('\n')));
    }
};

QTEST_MAIN(TestStations)
#include "test_stations.moc"
