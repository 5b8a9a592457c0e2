#pragma once

#include "data/dataset.h"
#include "data/serveraddress.h"

#include <QObject>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QTimer>
#include <functional>

// Owns the one connection and every dataset of the program; each table has
// exactly one cursor, shared by every window.
class DataModule : public QObject
{
    Q_OBJECT
public:
    static const char* const kDatabaseFileName; // "Waylark_main.db"
    static const char* const kConnectionName;   // "DB_main"

    explicit DataModule(QObject* parent = nullptr);
    ~DataModule() override;

    // Opens the existing file (never creates one), takes the exclusive lock
    // and brings the schema up to date. Throws DataError with the reason.
    void connectDatabase(const QString& fileName = QString::fromLatin1(kDatabaseFileName));
    // Connects to a PostgreSQL database that "db init" or "db copy" made:
    // no header guard and no lock, the stations share it. Throws DataError
    // (a refusal naming the server, with libpq's reason) when it cannot.
    // station: the name the other stations see this one by.
    void connectServer(const ServerAddress& server, const QString& station = QString());
    bool onServer() const;
    // Opens the datasets in start-up order.
    void openAll();
    // Closes every dataset and the connection, releasing the lock.
    void closeDatabase();
    bool isConnected() const;
    QSqlDatabase database() const;

    Dataset* templates;
    Dataset* recipients;
    Dataset* sender;
    Dataset* senderColumns;
    Dataset* recipientColumns;
    Dataset* provinces;
    Dataset* cities;
    Dataset* areas;
    Dataset* shop;

    QList<Dataset*> datasets() const;

    // On a server, for the windows: takes the other stations' changes as the
    // server announces them (LISTEN "waylark", one table name per change)
    // and brings the datasets of those tables up to date (Dataset::sync),
    // then says which tables changed; checks the connection every checkMs
    // and, once it is lost, connects again at that pace, listens again and
    // brings every dataset up to date. Does nothing on a file.
    void watchServer(int checkMs = 5000);
    // Whether the datasets may change under the program now; while it says
    // no (a job or a dialog is running), the changes wait. Default: always.
    void setSyncGate(std::function<bool()> gate) { m_syncGate = std::move(gate); }
    bool isServerLost() const { return m_lost; }

Q_SIGNALS:
    // Tables (lower case, "exp_att_info") other stations changed, their
    // datasets already synced; after a reconnection, every shared table.
    void othersChanged(const QStringList& tables);
    void serverLost(const QString& reason);
    void serverBack();

private:
    void startSession(QSqlDatabase db);
    void listen();
    void takeNotification(const QString& name, QSqlDriver::NotificationSource source,
                          const QVariant& payload);
    void syncChanged();
    void checkServer();
    bool maySync() const;

    QString m_station;
    QSet<QString> m_changed;
    QTimer m_syncTimer;
    QTimer m_checkTimer;
    bool m_lost = false;
    std::function<bool()> m_syncGate;
};
