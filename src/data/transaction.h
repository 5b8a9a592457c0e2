#pragma once

#include <QSqlDatabase>
#include <QString>

// All rows or none: a savepoint that rolls back unless committed. Savepoints
// nest, so a writer may run inside another writer's transaction. On a
// server, where a savepoint needs a transaction around it, the outermost one
// begins and ends that transaction.
class Transaction
{
public:
    explicit Transaction(const QSqlDatabase& db, const QString& name = QStringLiteral("writer"));
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit(); // throws DataError when the file cannot take the changes
    // Commits even after a termination signal: only for the short record of
    // work already done outside the database (a job handed to its printer),
    // which must not be lost. Throws DataError as commit() does.
    void commitDespiteSignal();
    void rollback();

    // Whether a transaction of this program is open on the server connection
    // (always false on a file).
    static bool isOpen(const QSqlDatabase& db);

private:
    void release();
    // On a server, the outermost one commits or rolls back the transaction.
    void endServerTransaction(bool commit);

    QSqlDatabase m_db;
    QString m_name;
    bool m_open = false;
    bool m_outermost = false; // began the server's transaction
};
