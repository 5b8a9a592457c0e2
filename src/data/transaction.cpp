#include "data/transaction.h"

#include "base/dataerror.h"
#include "data/termination.h"

#include <QHash>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace
{

// Open transactions per server connection; a file needs no count (SQLite
// starts one at its first savepoint). A connection lives in the thread that
// made it, so each thread keeps its own.
QHash<QString, int>& serverDepth()
{
    thread_local QHash<QString, int> depth;
    return depth;
}

// Quoted: a name may be a word of SQL on one engine ("outer" on a server).
QString savepoint(const QString& name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

bool onServer(const QSqlDatabase& db)
{
    return db.driver() && db.driver()->dbmsType() == QSqlDriver::PostgreSQL;
}

} // namespace

bool Transaction::isOpen(const QSqlDatabase& db)
{
    return onServer(db) && serverDepth().value(db.connectionName()) > 0;
}

Transaction::Transaction(const QSqlDatabase& db, const QString& name) : m_db(db), m_name(name)
{
    QSqlQuery q(m_db);
    if (onServer(m_db)) {
        int& depth = serverDepth()[m_db.connectionName()];
        if (depth == 0) {
            if (!q.exec(QStringLiteral("BEGIN")))
                throw DataError(q.lastError().text());
            m_outermost = true;
        }
        ++depth;
    }
    if (!q.exec(QLatin1String("SAVEPOINT ") + savepoint(m_name))) {
        const QString why = q.lastError().text();
        endServerTransaction(false);
        throw DataError(why);
    }
    m_open = true;
}

void Transaction::endServerTransaction(bool commit)
{
    if (!onServer(m_db))
        return;
    int& depth = serverDepth()[m_db.connectionName()];
    depth = qMax(0, depth - 1);
    if (!m_outermost)
        return;
    m_outermost = false;
    QSqlQuery q(m_db);
    if (commit && !q.exec(QStringLiteral("COMMIT"))) {
        const QString why = q.lastError().text();
        q.exec(QStringLiteral("ROLLBACK"));
        throw DataError(why);
    }
    if (!commit)
        q.exec(QStringLiteral("ROLLBACK"));
}

Transaction::~Transaction()
{
    if (m_open)
        rollback();
}

void Transaction::commit()
{
    if (!m_open)
        return;
    // A termination signal during a long writer: all rows or none.
    if (Termination::requested()) {
        rollback();
        throw DataError(QString::fromUtf8(Termination::stoppedMessage()), DataError::Kind::Stopped);
    }
    release();
}

void Transaction::commitDespiteSignal()
{
    if (m_open)
        release();
}

void Transaction::release()
{
    QSqlQuery q(m_db);
    if (!q.exec(QLatin1String("RELEASE ") + savepoint(m_name))) {
        const QString err = q.lastError().text();
        rollback();
        throw DataError(err);
    }
    m_open = false;
    endServerTransaction(true);
}

void Transaction::rollback()
{
    if (!m_open)
        return;
    QSqlQuery q(m_db);
    q.exec(QLatin1String("ROLLBACK TO ") + savepoint(m_name));
    q.exec(QLatin1String("RELEASE ") + savepoint(m_name));
    m_open = false;
    endServerTransaction(false);
}
