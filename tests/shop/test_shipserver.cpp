// The orders' send states on a database file and on a PostgreSQL server of
// the test's own.
#include "base/session.h"
#include "data/datamodule.h"
#include "freshdatabase.h"
#include "pgserver.h"
#include "shop/shipback.h"
#include "tempworkdir.h"

#include <QtTest>

class TestShipServer : public QObject
{
    Q_OBJECT

    PgServer m_server;
    int m_databases = 0;

private Q_SLOTS:
    void initTestCase() { WAYLARK_START_PG_SERVER(m_server); }

    void stateIsReplacedInPlace_data() { PgServer::addEngineRows(); }
    // A later state of an order replaces the earlier one, reason and all.
    void stateIsReplacedInPlace()
    {
        QFETCH(QString, engine);
        TempWorkDir tmp;
        Session session;
        QString error;
        std::unique_ptr<DataModule> dm;
        if (engine == QLatin1String("file")) {
            dm = openFreshDataModule(tmp.appDir(), &session, &error);
        } else {
            const QString name = QStringLiteral("s%1").arg(++m_databases);
            QVERIFY2(m_server.createDatabase(name, &error), qPrintable(error));
            dm = openFreshServerDataModule(tmp.appDir(), m_server.url(name), &session, &error);
        }
        QVERIFY2(dm, qPrintable(error));
        const QSqlDatabase db = dm->database();
        ShipStore::record(db, QStringLiteral("T1"),
                          {QStringLiteral("failed"), QStringLiteral("SF1"), QStringLiteral("SF"),
                           QStringLiteral("2026-01-02 03:04:05"), QStringLiteral("超时")});
        ShipStore::record(db, QStringLiteral("T2"),
                          {QStringLiteral("sending"), QStringLiteral("SF2"), QStringLiteral("SF"),
                           QStringLiteral("2026-01-02 03:04:06"), QString()});
        ShipStore::record(db, QStringLiteral("T1"),
                          {QStringLiteral("sent"), QStringLiteral("SF1"), QStringLiteral("SF"),
                           QStringLiteral("2026-01-02 03:05:00"), QString()});
        const QHash<QString, OrderShipState> states = ShipStore::load(db);
        QCOMPARE(states.size(), 2);
        QCOMPARE(states.value(QStringLiteral("T1")).state, QStringLiteral("sent"));
        QVERIFY(states.value(QStringLiteral("T1")).reason.isEmpty());
        QCOMPARE(states.value(QStringLiteral("T1")).changedAt,
                 QStringLiteral("2026-01-02 03:05:00"));
        QCOMPARE(states.value(QStringLiteral("T2")).state, QStringLiteral("sending"));
    }
};

QTEST_MAIN(TestShipServer)
#include "test_shipserver.moc"
