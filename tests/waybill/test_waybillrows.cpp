// Numbering the recipient rows on a database file and on a PostgreSQL
// server several stations share.
#include "base/session.h"
#include "data/datamodule.h"
#include "data/dataset.h"
#include "data/serveraddress.h"
#include "freshdatabase.h"
#include "pgserver.h"
#include "tempworkdir.h"
#include "waybill/carrierstore.h"
#include "waybill/waybillwriter.h"

#include <QSqlQuery>
#include <QThread>
#include <QtTest>

namespace
{

const QString kModel = QStringLiteral("默认模板");

void addRecipients(Dataset* att, int count)
{
    for (int i = 0; i < count; ++i) {
        att->moveTo(att->insertRow(
            att->fieldsOf({{QStringLiteral("Name"), QStringLiteral("收件人%1").arg(i)}})));
    }
}

QStringList numbersOf(Dataset* att)
{
    att->refresh();
    QStringList numbers;
    const int column = att->fieldIndex(QStringLiteral("WayBillNo"));
    for (int row = 0; row < att->recordCount(); ++row)
        numbers << att->cellText(row, column);
    return numbers;
}

WaybillRequest request(const QString& start)
{
    WaybillRequest r;
    r.modelName = kModel;
    r.start = start;
    r.step = QStringLiteral("1");
    return r;
}

} // namespace

class TestWaybillRows : public QObject
{
    Q_OBJECT

    PgServer m_server;
    int m_databases = 0;
    std::unique_ptr<TempWorkDir> m_tmp;
    std::unique_ptr<DataModule> m_dm;
    QString m_url;

    void open(const QString& engine)
    {
        Session session;
        QString error;
        if (engine == QLatin1String("file")) {
            m_dm = openFreshDataModule(m_tmp->appDir(), &session, &error);
        } else {
            const QString name = QStringLiteral("w%1").arg(++m_databases);
            QVERIFY2(m_server.createDatabase(name, &error), qPrintable(error));
            m_url = m_server.url(name);
            m_dm = openFreshServerDataModule(m_tmp->appDir(), m_url, &session, &error);
        }
        QVERIFY2(m_dm, qPrintable(error));
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

    void numbersRowsAndKeepsTheLast_data() { PgServer::addEngineRows(); }
    // Every row gets its number, the template its last one, and the next
    // series from before it is refused on a server only.
    void numbersRowsAndKeepsTheLast()
    {
        QFETCH(QString, engine);
        open(engine);
        Dataset* att = m_dm->recipients;
        addRecipients(att, 3);
        const WaybillPlan plan = numberRecipients(att, request(QStringLiteral("1000")));
        QVERIFY2(plan.ok, qPrintable(plan.message));
        QCOMPARE(numbersOf(att), (QStringList{"1000", "1001", "1002"}));
        QCOMPARE(CarrierStore::load(m_dm->database(), kModel).lastNumber, QStringLiteral("1002"));

        const WaybillPlan again = numberRecipients(att, request(QStringLiteral("1002")));
        if (engine == QLatin1String("file")) {
            QVERIFY(again.ok);
            QCOMPARE(numbersOf(att), (QStringList{"1002", "1003", "1004"}));
        } else {
            QVERIFY(!again.ok);
            QVERIFY(again.message.contains(QStringLiteral("1002")));
            QCOMPARE(numbersOf(att), (QStringList{"1000", "1001", "1002"}));
        }
        const WaybillPlan after = numberRecipients(att, request(QStringLiteral("01005")));
        QVERIFY2(after.ok, qPrintable(after.message));
        QCOMPARE(CarrierStore::load(m_dm->database(), kModel).lastNumber, QStringLiteral("1007"));
    }

    // Two stations number at the same moment from the same start, each on
    // its own connection: one series is written, the other station is told
    // the numbers are taken, and no number is handed out twice.
    void stationsNeverShareNumbers()
    {
        open(QStringLiteral("server"));
        addRecipients(m_dm->recipients, 20);
        constexpr int kStations = 2;
        QVector<WaybillPlan> plans(kStations);
        QStringList failures(kStations);
        QAtomicInt ready;
        std::vector<std::unique_ptr<QThread>> threads;
        for (int s = 0; s < kStations; ++s) {
            threads.emplace_back(QThread::create([&, s] {
                const QString conn = QStringLiteral("station%1").arg(s);
                {
                    QString error;
                    QSqlDatabase db = ServerAddress::parse(m_url, &error).addConnection(conn);
                    db.open();
                    Dataset att(QStringLiteral("att"), conn);
                    att.setTableName(QStringLiteral("Exp_Att_Info"));
                    try {
                        att.open();
                        ready.fetchAndAddOrdered(1);
                        while (ready.loadAcquire() < kStations)
                            QThread::yieldCurrentThread();
                        plans[s] = numberRecipients(&att, request(QStringLiteral("5000")));
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
        QCOMPARE(int(plans[0].ok) + int(plans[1].ok), 1);
        const WaybillPlan& refused = plans[0].ok ? plans[1] : plans[0];
        QVERIFY(refused.message.contains(QStringLiteral("5019")));
        const QStringList numbers = numbersOf(m_dm->recipients);
        QCOMPARE(numbers.size(), 20);
        QCOMPARE(numbers.first(), QStringLiteral("5000"));
        QCOMPARE(numbers.last(), QStringLiteral("5019"));
        QCOMPARE(CarrierStore::load(m_dm->database(), kModel).lastNumber, QStringLiteral("5019"));
    }
};

QTEST_MAIN(TestWaybillRows)
#include "test_waybillrows.moc"
