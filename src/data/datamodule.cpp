#include "data/datamodule.h"

#include "data/schema.h"
#include "data/transaction.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>

const char* const DataModule::kDatabaseFileName = "Waylark_main.db";
const char* const DataModule::kConnectionName = "DB_main";

namespace
{

const char* const kSendColSql = "select Name as 发件人姓名,\n"
                                "Departure  as 始发地,\n"
                                "Company  as 发件人单位,\n"
                                "Prvince  as 发件省,\n"
                                "City  as 发件市,\n"
                                "Country  as 发件县,\n"
                                "Address as 发件详细地址,\n"
                                "Mobile  as 发件人手机,\n"
                                "Phone as 发件人固定电话,\n"
                                "Contents as 内件品名,\n"
                                "PostCode as 发件人邮编\n"
                                "from Exp_Send_info where ID=:Send_id";

const char* const kAttColSql = "select Name as 收件人姓名,\n"
                               "Disrination as 目的地,\n"
                               "Company  as 收件人单位,\n"
                               "Prvince  as 收件省,\n"
                               "City  as 收件市,\n"
                               "Country  as 收件县,\n"
                               "Address as 收件详细地址,\n"
                               "Mobile  as 收件人手机,\n"
                               "Phone as 收件人固定电话,\n"
                               "PostCode as 收件人邮编,\n"
                               "Custom1 as 自定义字段1,\n"
                               "Custom2 as 自定义字段2,\n"
                               "Custom3 as 自定义字段3,\n"
                               "Custom4 as 自定义字段4,\n"
                               "Custom5 as 自定义字段5,\n"
                               "WayBillNo as 运单号,\n"
                               "ExpName as 快递公司\n"
                               "from Exp_Att_info where ID=:Att_id";

} // namespace

DataModule::DataModule(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("DataModule1"));
    // A batch of changes (another station's import) comes as many notices.
    m_syncTimer.setSingleShot(true);
    m_syncTimer.setInterval(300);
    connect(&m_syncTimer, &QTimer::timeout, this, &DataModule::syncChanged);
    connect(&m_checkTimer, &QTimer::timeout, this, &DataModule::checkServer);
    const QString c = QString::fromLatin1(kConnectionName);
    auto table = [&](const char* name, const char* tableName) {
        auto* ds = new Dataset(QString::fromLatin1(name), c, this);
        ds->setTableName(QString::fromLatin1(tableName));
        return ds;
    };
    auto query = [&](const char* name, const char* sql) {
        auto* ds = new Dataset(QString::fromLatin1(name), c, this);
        ds->setSql(QString::fromUtf8(sql));
        return ds;
    };
    // Declaration order of the data module.
    templates = table("TB_Model", "Exp_Model");
    recipients = table("TB_Att", "Exp_Att_Info");
    // Can be large; a job over a few rows reads only those.
    recipients->setReadOnDemand(true);
    sender = table("TB_Send", "Exp_Send_info");
    senderColumns = query("qry_Send_Col", kSendColSql);
    recipientColumns = query("qry_Att_Col", kAttColSql);
    provinces = table("region_Province", "province");
    cities = query("region_city", "select * from city where provinceID=:provinceID");
    areas = query("region_area", "select * from area where cityID=:cityID");
    shop = table("TB_Shop", "Shop_Info");
}

DataModule::~DataModule()
{
    closeDatabase();
}

QList<Dataset*> DataModule::datasets() const
{
    return {templates, recipients, sender, senderColumns, recipientColumns,
            provinces, cities,     areas,  shop};
}

QSqlDatabase DataModule::database() const
{
    return QSqlDatabase::database(QString::fromLatin1(kConnectionName), false);
}

bool DataModule::isConnected() const
{
    return database().isOpen();
}

void DataModule::connectDatabase(const QString& fileName)
{
    closeDatabase();
    const QString name = QString::fromLatin1(kConnectionName);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        // mode=rw: a missing file is an error, never a new empty database.
        QString path = fileName;
        path.replace(QLatin1Char('%'), QLatin1String("%25"));
        path.replace(QLatin1Char('?'), QLatin1String("%3f"));
        path.replace(QLatin1Char('#'), QLatin1String("%23"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=0"));
        db.setDatabaseName(QLatin1String("file:") + path + QLatin1String("?mode=rw"));
        QString error;
        DataError::Kind kind = DataError::Kind::Refusal; // our own messages below
        if (!db.open()) {
            error = QStringLiteral("数据库打开错误：") + fileName + QLatin1Char('\n') +
                    db.lastError().text();
        } else {
            // Hold the file for the whole run; the lock is taken here, at open.
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")) ||
                !q.exec(QStringLiteral("BEGIN EXCLUSIVE")) || !q.exec(QStringLiteral("COMMIT")))
                error = QStringLiteral("数据库文件正被其他程序使用或已损坏：") + fileName +
                        QLatin1Char('\n') + q.lastError().text();
        }
        if (error.isEmpty()) {
            try {
                Schema::upgrade(db);
            } catch (const DataError& e) {
                error = e.message();
                kind = e.kind();
            }
        }
        if (!error.isEmpty()) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw DataError(error, kind);
        }
    }
}

// This process among the others (see Print_Pending), on each connection.
void DataModule::startSession(QSqlDatabase db)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT set_config('application_name', ?, false), "
                             "set_config('waylark.station', ?, false)"));
    q.addBindValue(QStringLiteral("waylark %1@%2")
                       .arg(QCoreApplication::applicationPid())
                       .arg(QSysInfo::machineHostName())
                       .left(63));
    q.addBindValue(m_station);
    if (!q.exec())
        throw DataError(q.lastError().text());
}

void DataModule::connectServer(const ServerAddress& server, const QString& station)
{
    closeDatabase();
    const QString name = QString::fromLatin1(kConnectionName);
    QString error;
    DataError::Kind kind = DataError::Kind::Refusal;
    {
        QSqlDatabase db = server.addConnection(name);
        if (!db.open()) {
            error = QStringLiteral("无法连接数据库服务器：%1\n%2")
                        .arg(server.shown(), db.lastError().text().trimmed());
        } else {
            try {
                m_station = station;
                startSession(db);
                Schema::upgrade(db);
            } catch (const DataError& e) {
                error = e.message();
                kind = e.kind();
            }
        }
        if (!error.isEmpty())
            db.close();
    }
    if (!error.isEmpty()) {
        QSqlDatabase::removeDatabase(name);
        throw DataError(error, kind);
    }
}

bool DataModule::onServer() const
{
    return Schema::isServer(database());
}

void DataModule::openAll()
{
    // Start-up order.
    for (Dataset* ds : {templates, recipients, sender, shop, recipientColumns, senderColumns, areas,
                        cities, provinces})
        ds->open();
}

void DataModule::watchServer(int checkMs)
{
    if (!onServer())
        return;
    listen();
    m_checkTimer.start(checkMs);
}

void DataModule::listen()
{
    QSqlDriver* driver = database().driver();
    const QString channel = QStringLiteral("waylark");
    if (!driver->subscribedToNotifications().contains(channel))
        driver->subscribeToNotification(channel);
    connect(driver, &QSqlDriver::notification, this, &DataModule::takeNotification,
            Qt::UniqueConnection);
}

void DataModule::takeNotification(const QString& name, QSqlDriver::NotificationSource source,
                                  const QVariant& payload)
{
    // Our own changes are in the datasets already.
    if (name != QLatin1String("waylark") || source == QSqlDriver::SelfSource)
        return;
    m_changed.insert(payload.toString());
    if (!m_syncTimer.isActive())
        m_syncTimer.start();
}

bool DataModule::maySync() const
{
    return !Transaction::isOpen(database()) && (!m_syncGate || m_syncGate());
}

void DataModule::syncChanged()
{
    if (m_lost || m_changed.isEmpty())
        return;
    if (!maySync()) {
        m_syncTimer.start(1000);
        return;
    }
    m_syncTimer.setInterval(300);
    QStringList tables = m_changed.values();
    tables.sort();
    m_changed.clear();
    const QHash<QString, QList<Dataset*>> datasetsOf = {
        {QStringLiteral("exp_att_info"), {recipients, recipientColumns}},
        {QStringLiteral("exp_model"), {templates}},
        {QStringLiteral("exp_send_info"), {sender, senderColumns}},
        {QStringLiteral("shop_info"), {shop}},
    };
    try {
        for (const QString& table : std::as_const(tables))
            for (Dataset* ds : datasetsOf.value(table))
                ds->sync();
    } catch (const DataError&) {
        // Most likely the connection: the check finds out and reads all again.
        checkServer();
        return;
    }
    Q_EMIT othersChanged(tables);
}

void DataModule::checkServer()
{
    if (!maySync())
        return;
    QSqlDatabase db = database();
    if (!m_lost) {
        QString why;
        if (db.isOpen()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT 1")))
                return;
            why = q.lastError().text().trimmed();
        }
        if (why.isEmpty())
            why = db.lastError().text().trimmed();
        if (why.isEmpty())
            why = QStringLiteral("与数据库服务器的连接已关闭。");
        m_lost = true;
        // Closed, so that a dead socket wakes nobody until it is open again.
        db.close();
        Q_EMIT serverLost(why);
    }
    if (!db.open())
        return;
    try {
        startSession(db);
        listen();
        m_lost = false;
        for (Dataset* ds : datasets())
            ds->sync();
    } catch (const DataError&) {
        m_lost = true;
        db.close();
        return;
    }
    m_changed.clear();
    Q_EMIT serverBack();
    Q_EMIT othersChanged({QStringLiteral("exp_att_info"), QStringLiteral("exp_model"),
                          QStringLiteral("exp_send_info"), QStringLiteral("shop_info"),
                          QStringLiteral("order_ship"), QStringLiteral("print_log")});
}

void DataModule::closeDatabase()
{
    m_checkTimer.stop();
    m_syncTimer.stop();
    m_changed.clear();
    m_lost = false;
    const QString name = QString::fromLatin1(kConnectionName);
    if (!QSqlDatabase::contains(name))
        return;
    for (Dataset* ds : datasets())
        ds->close();
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        // A writer cut short (a termination signal) leaves nothing behind.
        if (db.isOpen() && !Schema::isServer(db))
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
