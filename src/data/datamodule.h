#pragma once

#include "dataset.h"

#include <QObject>
#include <QSqlDatabase>

// Owns the one connection and every dataset of the program; each table has
// exactly one cursor, shared by every window.
class TDataModule1 : public QObject
{
    Q_OBJECT
public:
    static const char* const kDatabaseFileName; // "Waylark_main.db"
    static const char* const kConnectionName;   // "DB_main"
    static const char* const kPassword;         // kept as a setting; SQLite has none

    explicit TDataModule1(QObject* parent = nullptr);
    ~TDataModule1() override;

    // Opens the existing file (never creates one), takes the exclusive lock
    // and brings the schema up to date. Throws DataError with the reason.
    void connectDatabase(const QString& fileName = QString::fromLatin1(kDatabaseFileName));
    // Opens the datasets in start-up order.
    void openAll();
    // Closes every dataset and the connection, releasing the lock.
    void closeDatabase();
    bool isConnected() const;
    QSqlDatabase DB_main() const;

    Dataset* TB_Model;
    Dataset* TB_Att;
    Dataset* TB_Send;
    Dataset* qry_Send_Col;
    Dataset* qry_Att_Col;
    Dataset* region_Province;
    Dataset* region_city;
    Dataset* region_area;
    Dataset* TB_Shop;

    QList<Dataset*> datasets() const;
};
