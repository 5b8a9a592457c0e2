// The data layer on both engines: a database file and a PostgreSQL database
// that several stations share, on a server this test starts itself.
#include "base/dataerror.h"
#include "data/datalocation.h"
#include "data/datamodule.h"
#include "data/dataset.h"
#include "data/headerguard.h"
#include "data/rowclaims.h"
#include "data/schema.h"
#include "data/serveraddress.h"
#include "data/servercopy.h"
#include "data/transaction.h"
#include "pgserver.h"
#include "templates/newdatabase.h"
#include "tempworkdir.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>
#include <set>

namespace
{

const char* const kSource = "source_file";

int count(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next())
        return -1;
    return q.value(0).toInt();
}

} // namespace

class TestServer : public QObject
{
    Q_OBJECT

    PgServer m_server;
    std::unique_ptr<TempWorkDir> m_tmp;
    std::unique_ptr<DataModule> m_dm;
    int m_databases = 0;
    QString m_url; // the server database openEngine("server") opened

    // A new empty database on the test server.
    QString newServerDatabase()
    {
        const QString name = QStringLiteral("t%1").arg(++m_databases);
        QString error;
        if (!m_server.createDatabase(name, &error))
            qFatal("cannot create a database: %s", qPrintable(error));
        return m_server.url(name);
    }

    // A connection to url named name, open.
    static QSqlDatabase connectTo(const QString& url, const QString& name)
    {
        QString error;
        const ServerAddress a = ServerAddress::parse(url, &error);
        QSqlDatabase db = a.addConnection(name);
        db.open();
        return db;
    }

    // A fresh database file in the working folder with a few rows of every
    // kind a copy carries, opened on the connection kSource (no lock).
    QSqlDatabase makeSourceFile()
    {
        QString error;
        if (!NewDatabase::prepareAppDir(m_tmp->appDir(), &error))
            qFatal("%s", qPrintable(error));
        restoreHeader(m_tmp->filePath(QStringLiteral("Waylark_main.db")));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kSource);
        db.setDatabaseName(m_tmp->filePath(QStringLiteral("Waylark_main.db")));
        db.open();
        QSqlQuery q(db);
        const QStringList statements = {
            "INSERT INTO Exp_Att_Info (Name, Address, Mobile, Printed_At, Print_Count, Order_No) "
            "VALUES ('张三', '北京市朝阳区某路 1 号', '13800000000', '2026-01-02 03:04:05', 2, "
            "'T1001,T1002')",
            "INSERT INTO Exp_Att_Info (Name, Company) VALUES ('李四', NULL)",
            "INSERT INTO Exp_Att_Info (Name, Custom5) VALUES ('王''五', '')",
            "DELETE FROM Exp_Att_Info WHERE Name = '李四'", // a gap in the keys stays
            "INSERT INTO Exp_Send_info (Name, Contents) VALUES ('赵六', '书')",
            "INSERT INTO Print_Calibration VALUES ('默认模板', 'cups-pdf', 1.25, -0.5, 100, 99.5)",
            "INSERT INTO Print_Log (Printed_At, Model_Name, Target, Pages, First_Name, "
            "Last_Name, Row_Ids, Names) VALUES ('2026-01-02 03:04:05', '默认模板', 'a.pdf', 1, "
            "'张三', '张三', '1', '张三')",
            "INSERT INTO Order_Ship (Tid, State) VALUES ('T1001', 'sent')",
        };
        for (const QString& s : statements) {
            if (!q.exec(s))
                qFatal("%s: %s", qPrintable(s), qPrintable(q.lastError().text()));
        }
        return db;
    }

    static void closeConnection(const QString& name)
    {
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

    // The data module on the engine: a fresh file, or a server database
    // that a fresh file was copied onto.
    void openEngine(const QString& engine)
    {
        m_dm = std::make_unique<DataModule>();
        if (engine == QLatin1String("file")) {
            makeSourceFile();
            closeConnection(QString::fromLatin1(kSource));
            m_dm->connectDatabase(m_tmp->filePath(QStringLiteral("Waylark_main.db")));
        } else {
            const QString url = newServerDatabase();
            m_url = url;
            {
                const QSqlDatabase source = makeSourceFile();
                QSqlDatabase target = connectTo(url, QStringLiteral("target"));
                ServerCopy::copy(source, m_tmp->filePath(QStringLiteral("bkbmp")), target);
            }
            closeConnection(QStringLiteral("target"));
            closeConnection(QString::fromLatin1(kSource));
            QString error;
            m_dm->connectServer(ServerAddress::parse(url, &error));
        }
        m_dm->openAll();
    }

    // Runs sql on the database openEngine("server") opened, as another
    // station would.
    void asOtherStation(const QStringList& sql)
    {
        {
            QSqlDatabase db = connectTo(m_url, QStringLiteral("target"));
            QSqlQuery q(db);
            for (const QString& s : sql)
                QVERIFY2(q.exec(s), qPrintable(q.lastError().text()));
        }
        closeConnection(QStringLiteral("target"));
    }

    // A server database made by "db init" with `rows` unprinted recipients.
    QString serverWithRows(int rows)
    {
        const QString url = newServerDatabase();
        {
            QSqlDatabase db = connectTo(url, QStringLiteral("target"));
            ServerCopy::init(db);
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("INSERT INTO Exp_Att_Info (Name) SELECT 'N' || i FROM "
                                       "generate_series(1, %1) AS i")
                            .arg(rows)))
                qFatal("%s", qPrintable(q.lastError().text()));
        }
        closeConnection(QStringLiteral("target"));
        return url;
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
        for (const QString& name : {QString::fromLatin1(kSource), QStringLiteral("target")})
            if (QSqlDatabase::contains(name))
                closeConnection(name);
        m_tmp.reset();
    }

    void serverAddress_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("shown"); // empty: refused
        QTest::addColumn<QString>("refusal");
        QTest::newRow("host, port, database, sslmode")
            << "postgresql://shop@db.example:6543/waylark?sslmode=require"
            << "postgresql://shop@db.example:6543/waylark?sslmode=require" << QString();
        QTest::newRow("socket folder") << "postgres:///w?host=/run/postgresql"
                                       << "postgresql:///w?host=/run/postgresql" << QString();
        QTest::newRow("service") << "postgresql://?service=shop"
                                 << "postgresql:///?service=shop" << QString();
        QTest::newRow("password") << "postgresql://shop:secret@db/w" << QString() << "密码";
        QTest::newRow("empty password") << "postgresql://shop:@db/w" << QString() << "密码";
        QTest::newRow("other scheme") << "mysql://shop@db/w" << QString() << "postgresql://";
        QTest::newRow("no database") << "postgresql://shop@db" << QString() << "数据库名";
        QTest::newRow("port 0") << "postgresql://shop@db:0/w" << QString() << "端口";
        QTest::newRow("port too large")
            << "postgresql://shop@db:70000/w" << QString() << "postgresql://";
        QTest::newRow("unknown option")
            << "postgresql://db/w?options=-c%20x" << QString() << "options";
        QTest::newRow("bad sslmode") << "postgresql://db/w?sslmode=maybe" << QString() << "sslmode";
        QTest::newRow("word splitting in a value")
            << "postgresql://db/w?service=a%20password=x" << QString() << "service";
        QTest::newRow("relative socket") << "postgresql:///w?host=run" << QString() << "host=";
        QTest::newRow("database with a quote") << "postgresql://db/w'x" << QString() << "数据库名";
    }
    void serverAddress()
    {
        QFETCH(QString, url);
        QFETCH(QString, shown);
        QFETCH(QString, refusal);
        QString error;
        const ServerAddress a = ServerAddress::parse(url, &error);
        if (shown.isEmpty()) {
            QVERIFY2(error.contains(refusal), qPrintable(error));
            QVERIFY(!error.contains(QLatin1String("secret")));
        } else {
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QCOMPARE(a.shown(), shown);
        }
    }

    // "--database URL" and [Database] Server= choose a server; a file given
    // on the command line goes before the server of config.ini.
    void serverLocation_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("server"); // [Database] Server=
        QTest::addColumn<QString>("chosenServer");
        QTest::newRow("option") << "postgresql://db/w" << QString() << "postgresql://db/w";
        QTest::newRow("config.ini") << QString() << "postgresql://db/w"
                                    << "postgresql://db/w";
        QTest::newRow("option before config.ini") << "postgresql://db/x"
                                                  << "postgresql://db/w"
                                                  << "postgresql://db/x";
        QTest::newRow("a file option before config.ini") << "my.db"
                                                         << "postgresql://db/w" << QString();
    }
    void serverLocation()
    {
        QFETCH(QString, option);
        QFETCH(QString, server);
        QFETCH(QString, chosenServer);
        QFile ini(m_tmp->filePath(QStringLiteral("config.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Database]\nServer=" + server.toUtf8() + "\n");
        ini.close();
        const DataLocation where = DataLocation::find(m_tmp->path(), option);
        QCOMPARE(where.databaseServer, chosenServer);
        QCOMPARE(where.databaseFile.isEmpty(), !chosenServer.isEmpty());
    }

    // The same tables, columns and region rows on both engines.
    void schemaOnBothEngines_data() { PgServer::addEngineRows(); }
    void schemaOnBothEngines()
    {
        QFETCH(QString, engine);
        openEngine(engine);
        QCOMPARE(m_dm->templates->fieldNames(), Schema::modelColumns());
        const QStringList marks = {"Printed_At", "Print_Count", "Order_No"};
        QCOMPARE(m_dm->recipients->fieldNames(), Schema::recipientColumns() + marks);
        QCOMPARE(m_dm->sender->fieldNames(), Schema::senderColumns());
        QCOMPARE(m_dm->shop->fieldNames(), Schema::shopColumns());
        QCOMPARE(m_dm->provinces->recordCount(), 31);
        const QSqlDatabase db = m_dm->database();
        QCOMPARE(count(db, "SELECT count(*) FROM city"), 341);
        QCOMPARE(count(db, "SELECT count(*) FROM area WHERE cityID NOT IN (SELECT code FROM city)"),
                 0);
        QStringList tables = Schema::tablesOf(db);
        for (QString& t : tables)
            t = t.toLower();
        for (const QString& t : ServerCopy::copiedTables() + QStringList{"Print_Pending"})
            QVERIFY2(tables.contains(t.toLower()), qPrintable(t));
        QCOMPARE(m_dm->onServer(), engine == QLatin1String("server"));
        // The caption queries name the columns in Chinese on both.
        m_dm->recipientColumns->close();
        m_dm->recipientColumns->open();
        QCOMPARE(m_dm->recipientColumns->fieldNames().value(0), QStringLiteral("收件人姓名"));
        m_dm->cities->setParam(QStringLiteral("provinceID"),
                               m_dm->provinces->fieldByName(QStringLiteral("code")).value());
        m_dm->cities->refresh();
        QVERIFY(m_dm->cities->recordCount() > 0);
        QVERIFY(m_dm->cities->fieldIndex(QStringLiteral("provinceID")) >= 0);
    }

    // Rows written through a dataset read back the same after a reopen:
    // keys given by the engine, text, nulls and numbers; edits and removals
    // touch exactly their row.
    void datasetWritesReadBack_data() { PgServer::addEngineRows(); }
    void datasetWritesReadBack()
    {
        QFETCH(QString, engine);
        openEngine(engine);
        Dataset* r = m_dm->recipients;
        QCOMPARE(r->recordCount(), 2);
        const int id = r->fieldIndex(QStringLiteral("ID"));
        const qint64 lastKey = r->cell(1, id).toLongLong();
        QCOMPARE(lastKey, 3); // the copy kept the keys and their gap
        r->moveTo(r->insertRow(
            r->fieldsOf({{QStringLiteral("Name"), QStringLiteral("钱七")},
                         {QStringLiteral("Address"), QStringLiteral("上海市 \"引号\" 'x'")},
                         {QStringLiteral("Print_Count"), 0}})));
        QCOMPARE(r->fieldByName(QStringLiteral("ID")).asInteger(), lastKey + 1);
        QVERIFY_THROWS_EXCEPTION(DataError, r->updateRow(r->recNo(), {{id, 99}}));
        r->first();
        r->updateRow(0, r->fieldsOf({{QStringLiteral("Mobile"), QVariant()}}));
        r->moveTo(1);
        r->remove();
        r->close();
        r->open();
        QCOMPARE(r->recordCount(), 2);
        QCOMPARE(r->cellText(0, r->fieldIndex(QStringLiteral("Name"))), QStringLiteral("张三"));
        QVERIFY(r->cell(0, r->fieldIndex(QStringLiteral("Mobile"))).isNull());
        QCOMPARE(r->cellText(0, r->fieldIndex(QStringLiteral("Order_No"))),
                 QStringLiteral("T1001,T1002"));
        QCOMPARE(r->cell(0, r->fieldIndex(QStringLiteral("Print_Count"))).toInt(), 2);
        QCOMPARE(r->cellText(1, r->fieldIndex(QStringLiteral("Address"))),
                 QStringLiteral("上海市 \"引号\" 'x'"));
        QCOMPARE(r->rowId(1), lastKey + 1);
        // Only a server's rows carry a version.
        QCOMPARE(r->rowVersion(0) > 0, engine == QLatin1String("server"));
        // A table without a key: rows named by the engine, edits by that name.
        Dataset* shop = m_dm->shop;
        for (const char* nick : {"a", "a"})
            shop->insertRow(shop->fieldsOf({{QStringLiteral("Nick"), QString::fromLatin1(nick)}}));
        shop->last();
        shop->updateRow(shop->recNo(),
                        shop->fieldsOf({{QStringLiteral("Nick"), QStringLiteral("b")}}));
        shop->refresh();
        QCOMPARE(shop->recordCount(), 2);
        QCOMPARE(shop->cellText(0, 0), QStringLiteral("a"));
        QCOMPARE(shop->cellText(1, 0), QStringLiteral("b"));
    }

    // Transactions nest on both engines: an inner rollback keeps the outer
    // work, an outer rollback takes everything.
    void transactionsNest_data() { PgServer::addEngineRows(); }
    void transactionsNest()
    {
        QFETCH(QString, engine);
        openEngine(engine);
        const QSqlDatabase db = m_dm->database();
        QSqlQuery q(db);
        {
            Transaction outer(db, QStringLiteral("outer"));
            QVERIFY(q.exec("INSERT INTO Order_Ship (Tid, State) VALUES ('A', 'sent')"));
            {
                Transaction inner(db, QStringLiteral("inner"));
                QVERIFY(q.exec("INSERT INTO Order_Ship (Tid, State) VALUES ('B', 'sent')"));
            }
            outer.commit();
        }
        {
            Transaction outer(db, QStringLiteral("outer"));
            QVERIFY(q.exec("INSERT INTO Order_Ship (Tid, State) VALUES ('C', 'sent')"));
            Transaction inner(db, QStringLiteral("inner"));
            QVERIFY(q.exec("INSERT INTO Order_Ship (Tid, State) VALUES ('D', 'sent')"));
            inner.commit();
        }
        QCOMPARE(count(db, "SELECT count(*) FROM Order_Ship WHERE Tid IN ('A','B','C','D')"), 1);
        // And after all that, the connection writes outside any transaction.
        QVERIFY(q.exec("INSERT INTO Order_Ship (Tid, State) VALUES ('E', 'sent')"));
        QCOMPARE(count(db, "SELECT count(*) FROM Order_Ship WHERE Tid = 'E'"), 1);
    }

    // "db init" makes the tables only on an empty database; the data module
    // opens what it made and refuses an empty or a foreign one.
    void initOnlyOnAnEmptyDatabase()
    {
        const QString url = newServerDatabase();
        {
            QSqlDatabase db = connectTo(url, QStringLiteral("target"));
            QVERIFY(db.isOpen());
            ServerCopy::init(db);
            QCOMPARE(count(db, "SELECT Version FROM Waylark_Schema"), Schema::kServerVersion);
            QCOMPARE(count(db, "SELECT count(*) FROM Exp_Model"), 0);
            try {
                ServerCopy::init(db);
                QFAIL("a second init was not refused");
            } catch (const DataError& e) {
                QCOMPARE(e.kind(), DataError::Kind::Refusal);
                QVERIFY2(e.message().contains("不是空的"), qPrintable(e.message()));
            }
            const QStringList grants = ServerCopy::grantLines(db, QStringLiteral("station"));
            QCOMPARE(grants.size(), 4);
            for (const QString& g : grants)
                QVERIFY2(g.startsWith("GRANT ") && g.endsWith("TO \"station\";"), qPrintable(g));
            QVERIFY(grants.first().contains(QStringLiteral("\"t%1\"").arg(m_databases)));
        }
        closeConnection(QStringLiteral("target"));
        QString error;
        DataModule dm;
        dm.connectServer(ServerAddress::parse(url, &error));
        dm.openAll();
        QVERIFY(dm.onServer());
        QCOMPARE(dm.templates->recordCount(), 0);
    }

    void refusedServerDatabases_data()
    {
        QTest::addColumn<QString>("setup"); // SQL on the new database, or "down"
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << QString() << "waylark db init";
        QTest::newRow("foreign") << "CREATE TABLE orders (id int)"
                                 << "不是Waylark建立的";
        QTest::newRow("newer") << "CREATE TABLE Waylark_Schema (Version int);"
                                  "INSERT INTO Waylark_Schema VALUES (99)"
                               << "结构版本为99";
        QTest::newRow("no server there") << "down"
                                         << "无法连接数据库服务器";
    }
    void refusedServerDatabases()
    {
        QFETCH(QString, setup);
        QFETCH(QString, message);
        QString url = newServerDatabase();
        if (setup == QLatin1String("down")) {
            url = QStringLiteral("postgresql://postgres@/none?host=%1").arg(m_tmp->path());
        } else if (!setup.isEmpty()) {
            {
                QSqlDatabase db = connectTo(url, QStringLiteral("target"));
                QSqlQuery q(db);
                for (const QString& s : setup.split(';'))
                    QVERIFY2(q.exec(s), qPrintable(q.lastError().text()));
            }
            closeConnection(QStringLiteral("target"));
        }
        QString error;
        DataModule dm;
        try {
            dm.connectServer(ServerAddress::parse(url, &error));
            QFAIL("the database was opened");
        } catch (const DataError& e) {
            QCOMPARE(e.kind(), DataError::Kind::Refusal);
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
        QVERIFY(!dm.isConnected());
    }

    // "db copy --to URL" carries every row and picture of the file, "db
    // check" then finds both the same, and names the table or picture that
    // differs once one does. A non-empty database is refused untouched.
    void copyThenCheck()
    {
        const QString url = newServerDatabase();
        const QSqlDatabase source = makeSourceFile();
        const QString pictures = m_tmp->filePath(QStringLiteral("bkbmp"));
        QFile extra(pictures + QStringLiteral("/其他.bmp"));
        QVERIFY(extra.open(QIODevice::WriteOnly));
        extra.write(QByteArray("BM\0\x01\x02\xff", 6));
        extra.close();
        {
            QSqlDatabase target = connectTo(url, QStringLiteral("target"));
            const QList<ServerCopy::Count> counts = ServerCopy::copy(source, pictures, target);
            QMap<QString, int> byTable;
            for (const ServerCopy::Count& c : counts)
                byTable.insert(c.what, c.rows);
            QCOMPARE(byTable.value("Exp_Model"), 1);
            QCOMPARE(byTable.value("Exp_Att_Info"), 2);
            QCOMPARE(byTable.value("Print_Calibration"), 1);
            QCOMPARE(byTable.value("Print_Log"), 1);
            QCOMPARE(byTable.value("Order_Ship"), 1);
            QCOMPARE(byTable.value("Model_Picture"), 2);
            QCOMPARE(ServerCopy::differences(source, pictures, target), QStringList());
            QCOMPARE(count(target, "SELECT count(*) FROM Print_Calibration WHERE Station = ''"), 1);

            QVERIFY_THROWS_EXCEPTION(DataError, ServerCopy::copy(source, pictures, target));
            QCOMPARE(count(target, "SELECT count(*) FROM Exp_Att_Info"), 2);

            QSqlQuery q(target);
            QVERIFY(q.exec("UPDATE Exp_Att_Info SET Print_Count = 3 WHERE Name = '张三'"));
            QVERIFY(q.exec("UPDATE Model_Picture SET Data = 'x' WHERE Name = '其他.bmp'"));
            QFile::remove(pictures + QStringLiteral("/其他.bmp"));
            const QStringList diff = ServerCopy::differences(source, pictures, target);
            QCOMPARE(diff.size(), 2);
            QVERIFY2(diff.at(0).startsWith("Exp_Att_Info：文件 2 行，服务器 2 行，不同的行 1"),
                     qPrintable(diff.at(0)));
            QVERIFY2(diff.at(1).contains("其他.bmp：只在服务器上"), qPrintable(diff.at(1)));
        }
    }

    // The file's calibrations become the copying station's: "db check" of
    // that station finds them, another station's finds them missing.
    void copiedCalibrationsAreTheCopyingStations()
    {
        const QString url = newServerDatabase();
        const QSqlDatabase source = makeSourceFile();
        const QString pictures = m_tmp->filePath(QStringLiteral("bkbmp"));
        {
            QSqlDatabase target = connectTo(url, QStringLiteral("target"));
            ServerCopy::copy(source, pictures, target, QStringLiteral("一号台"));
            QCOMPARE(count(target, "SELECT count(*) FROM Print_Calibration WHERE Station = "
                                   "'一号台'"),
                     1);
            QCOMPARE(ServerCopy::differences(source, pictures, target, QStringLiteral("一号台")),
                     QStringList());
            const QStringList diff =
                ServerCopy::differences(source, pictures, target, QStringLiteral("二号台"));
            QCOMPARE(diff.size(), 1);
            QVERIFY2(diff.at(0).startsWith("Print_Calibration：文件 1 行，服务器 0 行"),
                     qPrintable(diff.at(0)));
        }
        closeConnection(QStringLiteral("target"));
    }

    void claimsNeverOverlap_data()
    {
        QTest::addColumn<int>("stations");
        QTest::newRow("two stations") << 2;
        QTest::newRow("four stations") << 4;
    }
    // Stations that take unprinted rows in batches at the same time, each
    // on its own connection, and mark each batch printed: every row is taken
    // by exactly one station and printed exactly once.
    void claimsNeverOverlap()
    {
        QFETCH(int, stations);
        constexpr int kRows = 600;
        const QString url = serverWithRows(kRows);
        QVector<QVector<qint64>> taken(stations);
        QStringList failures(stations);
        QAtomicInt ready;
        std::vector<std::unique_ptr<QThread>> threads;
        for (int s = 0; s < stations; ++s) {
            threads.emplace_back(QThread::create([&, s] {
                const QString conn = QStringLiteral("station%1").arg(s);
                const QString station = QStringLiteral("%1号台").arg(s + 1);
                {
                    QSqlDatabase db = connectTo(url, conn);
                    // All connected before any takes a row: they run together.
                    ready.fetchAndAddOrdered(1);
                    while (ready.loadAcquire() < stations)
                        QThread::yieldCurrentThread();
                    try {
                        for (;;) {
                            const QVector<qint64> ids =
                                RowClaims::claimUnprinted(db, station, 7, 120);
                            if (ids.isEmpty())
                                break;
                            taken[s] += ids;
                            QStringList list;
                            for (qint64 id : ids)
                                list << QString::number(id);
                            QSqlQuery q(db);
                            if (!q.exec(QStringLiteral("UPDATE Exp_Att_Info SET Printed_At = 'x', "
                                                       "Print_Count = COALESCE(Print_Count, 0) "
                                                       "+ 1, Claimed_By = NULL, Claimed_Until = "
                                                       "NULL WHERE ID IN (%1)")
                                            .arg(list.join(','))))
                                throw DataError(q.lastError().text());
                        }
                    } catch (const DataError& e) {
                        failures[s] = e.message();
                    }
                    db.close();
                }
                QSqlDatabase::removeDatabase(conn);
            }));
        }
        for (auto& t : threads)
            t->start();
        for (auto& t : threads)
            QVERIFY(t->wait());
        QCOMPARE(failures, QStringList(stations));
        std::multiset<qint64> all;
        for (const QVector<qint64>& ids : std::as_const(taken))
            all.insert(ids.cbegin(), ids.cend());
        QCOMPARE(int(all.size()), kRows);
        QCOMPARE(int(std::set<qint64>(all.cbegin(), all.cend()).size()), kRows);
        QSqlDatabase db = connectTo(url, QStringLiteral("target"));
        QCOMPARE(count(db, "SELECT count(*) FROM Exp_Att_Info WHERE Print_Count = 1"), kRows);
        db = QSqlDatabase();
        closeConnection(QStringLiteral("target"));
    }

    // A live claim keeps its rows from others; a claim whose station died
    // expires and its rows go to the next station; a station renews and
    // releases only its own.
    void claimsExpireAndAreKeptApart()
    {
        const QString url = serverWithRows(10);
        QSqlDatabase db = connectTo(url, QStringLiteral("target"));
        const QString a = QStringLiteral("1号台");
        const QString b = QStringLiteral("2号台");
        const QVector<qint64> first = RowClaims::claimUnprinted(db, a, 4, 120);
        QCOMPARE(first, (QVector<qint64>{1, 2, 3, 4}));
        QCOMPARE(RowClaims::claimUnprinted(db, b, 3, 120), (QVector<qint64>{5, 6, 7}));
        // A station asking again gets its own rows back first.
        QCOMPARE(RowClaims::claimUnprinted(db, a, 2, 120), (QVector<qint64>{1, 2}));
        const QHash<qint64, QString> held = RowClaims::claimedByOthers(db, b, {1, 4, 5, 9});
        QCOMPARE(held.size(), 2);
        QCOMPARE(held.value(4), a);
        QCOMPARE(RowClaims::claimRows(db, b, {3, 5, 9}, 120), (QVector<qint64>{5, 9}));
        QCOMPARE(RowClaims::renew(db, a, {1, 2, 3, 4, 5}, 120), 4);
        RowClaims::release(db, b, {1, 5});
        QCOMPARE(RowClaims::claimedByOthers(db, a, {1, 5}), (QHash<qint64, QString>{}));
        QCOMPARE(RowClaims::claimedByOthers(db, b, {1}).value(1), a);
        // Station a dies: its lease runs out (moved into the past here).
        QSqlQuery q(db);
        QVERIFY(q.exec("UPDATE Exp_Att_Info SET Claimed_Until = clock_timestamp() - "
                       "interval '1 second' WHERE Claimed_By = '1号台'"));
        QCOMPARE(RowClaims::renew(db, a, {1, 2, 3, 4}, 120), 0);
        QCOMPARE(RowClaims::claimUnprinted(db, b, 100, 120),
                 (QVector<qint64>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
        db = QSqlDatabase();
        closeConnection(QStringLiteral("target"));
    }

    // A job's claim is renewed as pages are drawn; the job stops at the page
    // where the claim is lost or the server has gone away, and its claims
    // are given back at its end.
    void keeperStopsTheJobWhenTheClaimIsLost()
    {
        const QString url = serverWithRows(4);
        QSqlDatabase db = connectTo(url, QStringLiteral("target"));
        const QString a = QStringLiteral("1号台/1@a");
        QVector<qint64> ids = RowClaims::claimUnprinted(db, a, 4, 120);
        QCOMPARE(ids.size(), 4);
        {
            // A lease of 0 s: renewed at every page, and gone right after.
            RowClaims::Keeper keeper(db, a, ids, 0);
            QVERIFY(keeper.setValue(1));
            QVERIFY(keeper.lostReason().isEmpty());
            QVERIFY(!keeper.setValue(2));
            QVERIFY(keeper.wasCanceled());
            QVERIFY2(keeper.lostReason().contains("过期"), qPrintable(keeper.lostReason()));
        }
        QCOMPARE(count(db, "SELECT count(*) FROM Exp_Att_Info WHERE Claimed_By IS NOT NULL"), 0);
        ids = RowClaims::claimUnprinted(db, a, 4, 120);
        {
            RowClaims::Keeper keeper(db, a, ids, 0);
            QVERIFY(m_server.stop());
            QVERIFY(!keeper.setValue(1));
            QVERIFY2(keeper.lostReason().contains("连接中断"), qPrintable(keeper.lostReason()));
        }
        db = QSqlDatabase();
        closeConnection(QStringLiteral("target"));
        QString error;
        QVERIFY2(m_server.start(&error), qPrintable(error));
        // Back up, the server still has the claims: they expire by themselves.
        db = connectTo(url, QStringLiteral("target"));
        QCOMPARE(RowClaims::claimedByOthers(db, QStringLiteral("2号台"), ids).size(), 4);
        db = QSqlDatabase();
        closeConnection(QStringLiteral("target"));
    }

    // A job's rows taken a batch at a time: two stations asking in turn get
    // the next free rows each, printed rows are never taken, the claims are
    // given back when the job ends, and a dead station's rows go to the
    // next job.
    void batchesShareTheUnprintedRows()
    {
        const QString url = serverWithRows(10);
        QString error;
        DataModule dm;
        dm.connectServer(ServerAddress::parse(url, &error));
        dm.openAll();
        Dataset* att = dm.recipients;
        QCOMPARE(att->recordCount(), 10);
        QSqlDatabase other = connectTo(url, QStringLiteral("target"));
        QSqlQuery q(other);
        QVERIFY(q.exec("UPDATE Exp_Att_Info SET Printed_At = 'x', Print_Count = 1 WHERE ID = 3"));
        QVector<int> rows;
        for (int row = 0; row < 10; ++row)
            rows << row;
        const QString a = QStringLiteral("1号台/1@a");
        const QString b = QStringLiteral("2号台/2@b");
        const QString held = QStringLiteral("SELECT count(*) FROM Exp_Att_Info WHERE Claimed_By = "
                                            "'%1' AND Claimed_Until > clock_timestamp()");
        {
            RowClaims::Batches first(dm.database(), att, rows, a, 120, 3, true);
            RowClaims::Batches second(other, att, rows, b, 120, 3, true);
            QCOMPARE(first.next(), (QVector<int>{0, 1, 3}));
            QCOMPARE(second.next(), (QVector<int>{4, 5, 6}));
            QCOMPARE(first.next(), (QVector<int>{7, 8, 9}));
            QCOMPARE(second.next(), QVector<int>());
            QCOMPARE(count(other, held.arg(a)), 6);
            // The job's claims are kept alive together.
            QCOMPARE(RowClaims::renew(other, a, {1, 2, 4, 8, 9, 10}, 120), 6);
            // Station b dies: its lease runs out.
            QVERIFY(q.exec(QStringLiteral("UPDATE Exp_Att_Info SET Claimed_Until = "
                                          "clock_timestamp() - interval '1 second' WHERE "
                                          "Claimed_By = '%1'")
                               .arg(b)));
            // Its rows go back to the pool: the next job takes them.
            QCOMPARE(first.next(), QVector<int>());
            RowClaims::Batches next(dm.database(), att, rows, "1号台/3@a", 120, 3, true);
            QCOMPARE(next.next(), (QVector<int>{4, 5, 6}));
        }
        QCOMPARE(count(other, held.arg(a)), 0);
        // Everything asked for, printed rows too.
        {
            RowClaims::Batches all(other, att, rows, b, 120, 20, false);
            QCOMPARE(all.next(), rows);
            // A claim lost meanwhile stops the job at its end, before it is
            // handed over.
            QVERIFY(q.exec("UPDATE Exp_Att_Info SET Claimed_Until = NULL WHERE ID = 5"));
            QVERIFY_THROWS_EXCEPTION(DataError, all.next());
            QVERIFY2(all.keeper()->lostReason().contains("过期"),
                     qPrintable(all.keeper()->lostReason()));
        }
        q = QSqlQuery();
        other = QSqlDatabase();
        closeConnection(QStringLiteral("target"));
    }

    // A job on its way belongs to its process: another process of the same
    // station sees it only once that process is gone (then it settles it),
    // a process of another station never.
    void pendingJobsBelongToTheirProcess()
    {
        const QString url = serverWithRows(1);
        QString error;
        const ServerAddress server = ServerAddress::parse(url, &error);
        auto pending = [](const DataModule& dm) {
            return count(dm.database(), "SELECT count(*) FROM Print_Pending");
        };
        auto writer = std::make_unique<DataModule>();
        writer->connectServer(server, QStringLiteral("1号台"));
        QSqlQuery q(writer->database());
        QVERIFY2(q.exec("INSERT INTO Print_Pending (Started_At, Pages, Row_Ids) VALUES ('x', 1, "
                        "'1')"),
                 qPrintable(q.lastError().text()));
        QCOMPARE(pending(*writer), 1);
        // The others: another station, and this station in another process
        // (told apart by the connection's name).
        {
            QSqlDatabase other = connectTo(url, QStringLiteral("target"));
            QSqlQuery s(other);
            QVERIFY(s.exec("SELECT set_config('waylark.station', '2号台', false)"));
            QCOMPARE(count(other, "SELECT count(*) FROM Print_Pending"), 0);
            QVERIFY(s.exec("SELECT set_config('waylark.station', '1号台', false)"));
            QCOMPARE(count(other, "SELECT count(*) FROM Print_Pending"), 0);
            q = QSqlQuery();
            writer.reset(); // the writing process ends
            // The server notes the end of a connection a moment after it.
            QTRY_COMPARE_WITH_TIMEOUT(count(other, "SELECT count(*) FROM Print_Pending"), 1, 30000);
            QVERIFY(s.exec("SELECT set_config('waylark.station', '2号台', false)"));
            QCOMPARE(count(other, "SELECT count(*) FROM Print_Pending"), 0);
        }
        closeConnection(QStringLiteral("target"));
    }

    void staleSavesAreRefused_data()
    {
        QTest::addColumn<QString>("other");   // what another station does to 张三's row
        QTest::addColumn<QString>("refusal"); // empty: the save goes through
        QTest::newRow("changed it") << "UPDATE Exp_Att_Info SET Name = '张三丰' WHERE ID = 1"
                                    << "其他工作台修改过";
        QTest::newRow("deleted it") << "DELETE FROM Exp_Att_Info WHERE ID = 1"
                                    << "其他工作台删除";
        QTest::newRow("printed it") << "UPDATE Exp_Att_Info SET Print_Count = 3, Printed_At = "
                                       "'2026-01-01 00:00:00', Claimed_By = 'x' WHERE ID = 1"
                                    << QString();
        QTest::newRow("wrote it unchanged")
            << "UPDATE Exp_Att_Info SET Name = Name WHERE ID = 1" << QString();
    }
    // Two stations edit one recipient: the save made from the row as it was
    // before the other's change is refused and the row read again as it is
    // now, so a save from there goes through. Marks, claims and writes
    // that change no value are not a change of the row.
    void staleSavesAreRefused()
    {
        QFETCH(QString, other);
        QFETCH(QString, refusal);
        openEngine(QStringLiteral("server"));
        Dataset* r = m_dm->recipients;
        const int name = r->fieldIndex(QStringLiteral("Name"));
        const qint64 read = r->rowVersion(0);
        QVERIFY(read > 0);
        asOtherStation({other});
        const auto save = [&](qint64 version) {
            r->updateRow(0, {{name, QStringLiteral("张叁")}}, version);
        };
        if (refusal.isEmpty()) {
            save(read);
            QCOMPARE(r->rowVersion(0), read + 1);
            r->sync();
            QCOMPARE(r->cellText(0, name), QStringLiteral("张叁"));
            return;
        }
        try {
            save(read);
            QFAIL("the stale save went through");
        } catch (const DataError& e) {
            QCOMPARE(e.kind(), DataError::Kind::Refusal);
            QVERIFY2(e.message().contains(refusal), qPrintable(e.message()));
        }
        if (other.startsWith(QLatin1String("DELETE"))) {
            QCOMPARE(r->rowVersion(0), 0);
            return;
        }
        QCOMPARE(r->cellText(0, name), QStringLiteral("张三丰"));
        const qint64 now = r->rowVersion(0);
        QCOMPARE(now, read + 1);
        save(now);
        r->sync();
        QCOMPARE(r->cellText(0, name), QStringLiteral("张叁"));
    }

    // Another station's inserts, edits and deletes reach the datasets
    // through the server's notifications: rows come and go in place (no
    // reset), the current row stays current, and neither this station's own
    // writes nor another's claims wake it.
    void othersChangesArrive()
    {
        openEngine(QStringLiteral("server"));
        Dataset* r = m_dm->recipients;
        const int name = r->fieldIndex(QStringLiteral("Name"));
        QSignalSpy told(m_dm.get(), &DataModule::othersChanged);
        QSignalSpy resets(r, &Dataset::aboutToReset);
        m_dm->watchServer(100);
        r->moveTo(1); // 王五
        r->updateRow(0, {{r->fieldIndex(QStringLiteral("Company")), QStringLiteral("自己")}});
        // Claims alone come and go too often to wake the stations.
        asOtherStation({"UPDATE Exp_Att_Info SET Claimed_By = '3号台/1@x', Claimed_Until = "
                        "clock_timestamp() + interval '1 minute'"});
        QTest::qWait(700);
        QCOMPARE(told.size(), 0);

        asOtherStation({"INSERT INTO Exp_Att_Info (Name) VALUES ('新来的')",
                        "UPDATE Exp_Att_Info SET Address = '改过的地址' WHERE Name = '王''五'",
                        "DELETE FROM Exp_Att_Info WHERE ID = 1"});
        QTRY_VERIFY(!told.isEmpty());
        QVERIFY(told.first().first().toStringList().contains(QStringLiteral("exp_att_info")));
        QCOMPARE(r->recordCount(), 2);
        QCOMPARE(r->cellText(r->recNo(), name), QStringLiteral("王'五"));
        QCOMPARE(r->cellText(r->recNo(), r->fieldIndex(QStringLiteral("Address"))),
                 QStringLiteral("改过的地址"));
        QCOMPARE(r->cellText(1, name), QStringLiteral("新来的"));
        QCOMPARE(resets.size(), 0);
    }

    // The server goes away and comes back: the loss is told once, the
    // station connects again by itself, listens again and reads its rows.
    void reconnectsWhenTheServerIsBack()
    {
        openEngine(QStringLiteral("server"));
        QSignalSpy lost(m_dm.get(), &DataModule::serverLost);
        QSignalSpy back(m_dm.get(), &DataModule::serverBack);
        m_dm->watchServer(100);
        QVERIFY(m_server.stop());
        QTRY_COMPARE(lost.size(), 1);
        QVERIFY(m_dm->isServerLost());
        QVERIFY(!lost.first().first().toString().isEmpty());
        QTest::qWait(300);
        QString error;
        QVERIFY2(m_server.start(&error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(back.size(), 1, 30000);
        QCOMPARE(lost.size(), 1);
        QVERIFY(!m_dm->isServerLost());
        asOtherStation({"INSERT INTO Exp_Att_Info (Name) VALUES ('重连后')"});
        QTRY_COMPARE(m_dm->recipients->recordCount(), 3);
        QCOMPARE(m_dm->recipients->cellText(2, m_dm->recipients->fieldIndex("Name")),
                 QStringLiteral("重连后"));
    }

    // A database of the server version before is brought up to date by the
    // first station that opens it; its calibrations become that station's.
    void olderServerIsUpgraded()
    {
        const QString url = newServerDatabase();
        {
            QSqlDatabase db = connectTo(url, QStringLiteral("target"));
            Schema::create(db, Schema::kServerVersion - 1);
            QSqlQuery q(db);
            QVERIFY(q.exec("INSERT INTO Print_Calibration VALUES ('默认模板', 'cups-pdf', 1.5, 0, "
                           "100, 100)"));
            QVERIFY(q.exec("INSERT INTO Exp_Att_Info (Name) VALUES ('甲')"));
        }
        closeConnection(QStringLiteral("target"));
        QString error;
        m_dm = std::make_unique<DataModule>();
        m_dm->connectServer(ServerAddress::parse(url, &error), QStringLiteral("2号台"));
        const QSqlDatabase db = m_dm->database();
        QCOMPARE(count(db, "SELECT Version FROM Waylark_Schema"), Schema::kServerVersion);
        QCOMPARE(count(db, "SELECT count(*) FROM Print_Calibration WHERE Station = '2号台'"), 1);
        m_dm->openAll();
        QCOMPARE(m_dm->recipients->rowVersion(0), 1);
        // Opened again: nothing more to do.
        m_dm->connectServer(ServerAddress::parse(url, &error), QStringLiteral("3号台"));
        QCOMPARE(count(m_dm->database(), "SELECT Version FROM Waylark_Schema"),
                 Schema::kServerVersion);
    }

    // A copy that fails halfway leaves the server database empty.
    void failedCopyLeavesNothing()
    {
        const QString url = newServerDatabase();
        QSqlDatabase source = makeSourceFile();
        QSqlQuery q(source);
        // Text where the server keeps a number: the copy fails at that row.
        QVERIFY(
            q.exec("INSERT INTO Print_Log (Printed_At, Pages, Row_Ids) VALUES ('x', 'many', '1')"));
        QSqlDatabase target = connectTo(url, QStringLiteral("target"));
        QVERIFY_THROWS_EXCEPTION(DataError, ServerCopy::copy(source, QString(), target));
        QCOMPARE(Schema::tablesOf(target), QStringList());
        target = QSqlDatabase();
    }
};

QTEST_MAIN(TestServer)
#include "test_server.moc"
