#include "data/transaction.h"

#include "base/dataerror.h"
#include "data/termination.h"

#include <QSqlError>
#include <QSqlQuery>

Transaction::Transaction(const QSqlDatabase& db, const QString& name) : m_db(db), m_name(name)
{
    QSqlQuery q(m_db);
    if (!q.exec(QLatin1String("SAVEPOINT ") + m_name))
        throw DataError(q.lastError().text());
    m_open = true;
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
    if (!q.exec(QLatin1String("RELEASE ") + m_name)) {
        const QString err = q.lastError().text();
        rollback();
        throw DataError(err);
    }
    m_open = false;
}

void Transaction::rollback()
{
    if (!m_open)
        return;
    QSqlQuery q(m_db);
    q.exec(QLatin1String("ROLLBACK TO ") + m_name);
    q.exec(QLatin1String("RELEASE ") + m_name);
    m_open = false;
}
