#pragma once

#include "data/dataset.h"
#include "data/serveraddress.h"

#include <QObject>
#include <QSqlDatabase>

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
};
