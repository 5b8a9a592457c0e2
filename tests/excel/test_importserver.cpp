// Importing a sheet into the recipient table of a database file and of a
// PostgreSQL server of the test's own.
#include "base/session.h"
#include "book/recipientrows.h"
#include "data/datamodule.h"
#include "data/dataset.h"
#include "data/serveraddress.h"
#include "excel/importrows.h"
#include "excel/importtable.h"
#include "excel/workbookreader.h"
#include "freshdatabase.h"
#include "pgserver.h"
#include "tempworkdir.h"

#include <QFile>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>

class TestImportServer : public QObject
{
    Q_OBJECT

    PgServer m_server;
    int m_databases = 0;
    std::unique_ptr<TempWorkDir> m_tmp;
    std::unique_ptr<DataModule> m_dm;

    // Imports the CSV text into the recipients, replacing them or not.
    ImportResult import(const QByteArray& csv, bool append)
    {
        const QString path = m_tmp->filePath(QStringLiteral("orders.csv"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(csv) != csv.size())
            qFatal("cannot write %s", qPrintable(path));
        f.close();
        QString error;
        std::unique_ptr<WorkbookReader> reader = WorkbookReader::open(path, &error);
        if (!reader || !reader->selectSheet(0, &error))
            qFatal("%s", qPrintable(error));
        QStringList titles;
        const QStringList mapped = {QStringLiteral("收件人姓名"), QStringLiteral("详细地址"),
                                    QStringLiteral("手机"), QStringLiteral("订单编号")};
        for (const QString& caption : importCaptions())
            titles << (mapped.contains(caption) ? caption : QString());
        ImportRows rows;
        if (!rows.start(*reader, 1, titles, &error))
            qFatal("%s", qPrintable(error));
        return append ? appendRecipients(m_dm->recipients, rows)
                      : replaceRecipients(m_dm->recipients, rows);
    }

    QStringList column(const QString& name)
    {
        Dataset* att = m_dm->recipients;
        att->refresh();
        QStringList texts;
        for (int row = 0; row < att->recordCount(); ++row)
            texts << att->cellText(row, att->fieldIndex(name));
        return texts;
    }

private Q_SLOTS:
    void initTestCase() { WAYLARK_START_PG_SERVER(m_server); }
    void init()
    {
        m_tmp = std::make_unique<TempWorkDir>();
        QVERIFY(m_tmp->isValid());
    }
    void cleanup()
    {
        m_dm.reset();
        m_tmp.reset();
    }

    void replacesThenAppendsNewOrders_data() { PgServer::addEngineRows(); }
    // A sheet replaces the recipients; a second one appended adds only the
    // orders the table does not hold yet.
    void replacesThenAppendsNewOrders()
    {
        QFETCH(QString, engine);
        Session session;
        QString error;
        if (engine == QLatin1String("file")) {
            m_dm = openFreshDataModule(m_tmp->appDir(), &session, &error);
        } else {
            const QString name = QStringLiteral("i%1").arg(++m_databases);
            QVERIFY2(m_server.createDatabase(name, &error), qPrintable(error));
            m_dm = openFreshServerDataModule(m_tmp->appDir(), m_server.url(name), &session, &error);
        }
        QVERIFY2(m_dm, qPrintable(error));

        ImportResult r = import("收件人姓名,详细地址,手机,订单编号\n"
                                "张三,北京市朝阳区某路1号,13800000001,T1\n"
                                "李四,上海市某路2号,13800000002,\"T2,T3\"\n",
                                false);
        QCOMPARE(int(r.status), int(ImportResult::Status::Done));
        QCOMPARE(r.rows, 2);
        QCOMPARE(column(QStringLiteral("Name")), (QStringList{"张三", "李四"}));
        QCOMPARE(column(QStringLiteral("Order_No")), (QStringList{"T1", "T2,T3"}));

        r = import("收件人姓名,详细地址,手机,订单编号\n"
                   "张三,北京市朝阳区某路1号,13800000001,T1\n"
                   "王五,广州市某路3号,13800000003,\"T3,T4\"\n",
                   true);
        QCOMPARE(int(r.status), int(ImportResult::Status::Done));
        QCOMPARE(r.presentOrders, 2);
        QCOMPARE(column(QStringLiteral("Name")), (QStringList{"张三", "李四", "王五"}));
        QCOMPARE(column(QStringLiteral("Order_No")), (QStringList{"T1", "T2,T3", "T4"}));

        // Replacing again while another station prints 李四's row: on a
        // server that row stays, and the message says so.
        const bool server = engine == QLatin1String("server");
        if (server) {
            QSqlQuery q(m_dm->database());
            QVERIFY(q.exec("UPDATE Exp_Att_Info SET Claimed_By = '3号台/1@elsewhere', "
                           "Claimed_Until = clock_timestamp() + interval '2 minutes' WHERE Name = "
                           "'李四'"));
            QVERIFY(q.exec("UPDATE Exp_Att_Info SET Claimed_By = '3号台/1@elsewhere', "
                           "Claimed_Until = clock_timestamp() - interval '1 second' WHERE Name = "
                           "'王五'")); // lapsed: no longer held
        }
        r = import("收件人姓名,详细地址,手机,订单编号\n"
                   "赵六,杭州市某路4号,13800000004,T9\n",
                   false);
        QCOMPARE(int(r.status), int(ImportResult::Status::Done));
        QCOMPARE(r.keptForOthers, server ? 1 : 0);
        QCOMPARE(column(QStringLiteral("Name")),
                 server ? (QStringList{"李四", "赵六"}) : (QStringList{"赵六"}));
        QCOMPARE(importDoneMessage(r).contains(QStringLiteral("另有 1 行正由其他工作台打印")),
                 server);
    }

    // Two stations add the same orders at the same moment, each on its own
    // connection: every order number ends up in exactly one row, and a row
    // whose orders are all another's is not added.
    void stationsNeverAddAnOrderTwice()
    {
        Session session;
        QString error;
        const QString name = QStringLiteral("i%1").arg(++m_databases);
        QVERIFY2(m_server.createDatabase(name, &error), qPrintable(error));
        const QString url = m_server.url(name);
        m_dm = openFreshServerDataModule(m_tmp->appDir(), url, &session, &error);
        QVERIFY2(m_dm, qPrintable(error));
        constexpr int kStations = 2;
        constexpr int kOrders = 60;
        QVector<int> leftOut(kStations);
        QStringList failures(kStations);
        QAtomicInt ready;
        std::vector<std::unique_ptr<QThread>> threads;
        for (int s = 0; s < kStations; ++s) {
            threads.emplace_back(QThread::create([&, s] {
                const QString conn = QStringLiteral("station%1").arg(s);
                {
                    QString e;
                    QSqlDatabase db = ServerAddress::parse(url, &e).addConnection(conn);
                    db.open();
                    Dataset att(QStringLiteral("att"), conn);
                    att.setTableName(QStringLiteral("Exp_Att_Info"));
                    try {
                        att.open();
                        RecipientRows rows(&att);
                        ready.fetchAndAddOrdered(1);
                        while (ready.loadAcquire() < kStations)
                            QThread::yieldCurrentThread();
                        // Pairs of orders, the second station's shifted by
                        // one: its rows half meet the first's.
                        for (int i = s; i < kOrders; i += 2)
                            leftOut[s] += rows.append(
                                {{QStringLiteral("Name"), QStringLiteral("台%1-%2").arg(s).arg(i)},
                                 {QStringLiteral("Order_No"),
                                  QStringLiteral("T%1,T%2").arg(i).arg(i + 1)}});
                    } catch (const DataError& e) {
                        failures[s] = e.message();
                    }
                    att.close();
                    db.close();
                }
                QSqlDatabase::removeDatabase(conn);
            }));
        }
        for (auto& t : threads)
            t->start();
        for (auto& t : threads)
            QVERIFY(t->wait());
        QCOMPARE(failures, QStringList(kStations));
        QStringList all;
        for (const QString& text : column(QStringLiteral("Order_No"))) {
            QVERIFY(!text.isEmpty());
            all += text.split(QLatin1Char(','));
        }
        // T0 … T60, each once; every number offered twice was left out once.
        QCOMPARE(all.size(), kOrders + 1);
        QCOMPARE(QSet<QString>(all.cbegin(), all.cend()).size(), kOrders + 1);
        QCOMPARE(leftOut[0] + leftOut[1], kOrders - 1);
        QSqlQuery q(m_dm->database());
        QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM Order_Number")) && q.next());
        QCOMPARE(q.value(0).toInt(), kOrders + 1);
    }
};

QTEST_MAIN(TestImportServer)
#include "test_importserver.moc"
