#include "book/recipientrows.h"

#include "base/dataerror.h"
#include "book/ordernumbers.h"
#include "data/dataset.h"
#include "data/rowwrite.h"
#include "data/schema.h"
#include "data/transaction.h"

#include <QSignalBlocker>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace
{

QSqlDatabase databaseOf(const Dataset* ds)
{
    return QSqlDatabase::database(ds->connectionName(), false);
}

} // namespace

RecipientRows::RecipientRows(Dataset* att) : m_att(att) {}

void RecipientRows::openIfClosed()
{
    if (!m_att->isActive())
        m_att->open();
}

QVector<std::pair<int, QVariant>> RecipientRows::fields(const Values& values) const
{
    QVector<std::pair<int, QVariant>> fields;
    for (const auto& [column, text] : values) {
        const int field = m_att->fieldIndex(column);
        if (field < 0)
            throw DataError(
                QStringLiteral("%1: Field '%2' not found").arg(m_att->objectName(), column));
        fields.append({field, text.isNull() ? QString(QLatin1String("")) : text});
    }
    return fields;
}

int RecipientRows::append(const Values& values)
{
    openIfClosed();
    QSqlDatabase db = databaseOf(m_att);
    const bool server = Schema::isServer(db);
    Transaction t(db, QStringLiteral("recipient_append"));
    m_att->moveTo(m_att->insertRow(fields(values)));
    const int orderNo = m_att->fieldIndex(Schema::orderNoColumn());
    const QStringList numbers = server && orderNo >= 0
                                    ? OrderNumbers::split(m_att->cellText(m_att->recNo(), orderNo))
                                    : QStringList();
    QStringList kept;
    if (!numbers.isEmpty()) {
        QSqlQuery q(db);
        if (!q.prepare(QStringLiteral("INSERT INTO Order_Number (Tid, Att_ID) VALUES (?, ?) "
                                      "ON CONFLICT (Tid) DO NOTHING RETURNING Tid")))
            throw DataError(q.lastError().text());
        for (const QString& n : numbers) {
            q.addBindValue(n);
            q.addBindValue(m_att->rowId(m_att->recNo()));
            if (!q.exec())
                throw DataError(q.lastError().text());
            if (q.next())
                kept << n;
        }
        if (kept.isEmpty())
            m_att->remove();
        else if (kept.size() < numbers.size())
            m_att->updateRow(m_att->recNo(), {{orderNo, OrderNumbers::join(kept)}});
    }
    t.commit();
    return numbers.isEmpty() ? 0 : int(numbers.size() - kept.size());
}

void RecipientRows::change(qint64 rowId, const Values& values, qint64 readVersion)
{
    openIfClosed();
    const int row = m_att->rowOf(rowId);
    if (row < 0)
        throw DataError::refusal(QStringLiteral("要修改的收件人已被删除，请重新选择。"));
    m_att->updateRow(row, fields(values), readVersion);
}

int RecipientRows::empty()
{
    openIfClosed();
    QSqlDatabase db = databaseOf(m_att);
    const bool server = Schema::isServer(db);
    int kept = 0;
    {
        Transaction t(db, QStringLiteral("recipients_empty"));
        QSqlQuery q(db);
        QString sql = QLatin1String("DELETE FROM ") + m_att->tableName();
        if (server)
            sql += QLatin1String(" WHERE NOT COALESCE(Claimed_Until > clock_timestamp(), false)");
        if (!q.exec(sql))
            throw DataError(q.lastError().text());
        if (server) {
            if (!q.exec(QLatin1String("SELECT count(*) FROM ") + m_att->tableName()) || !q.next())
                throw DataError(q.lastError().text());
            kept = q.value(0).toInt();
        }
        q.finish();
        t.commit();
    }
    m_att->refresh();
    return kept;
}

QString RecipientRows::keptForOthersText(int rows)
{
    return QStringLiteral("另有 %1 行正由其他工作台打印，没有删除。").arg(rows);
}

void RecipientRows::changeInPlace(const QVector<qint64>& rowIds, const std::function<void()>& work)
{
    openIfClosed();
    try {
        Transaction t(databaseOf(m_att), QStringLiteral("recipients_in_place"));
        {
            // One change of the rows at the end instead of one per row.
            const QSignalBlocker quiet(m_att);
            work();
        }
        t.commit();
    } catch (...) {
        // Rolled back: the rows in memory are the file's again.
        m_att->reread(rowIds);
        throw;
    }
    m_att->reread(rowIds);
}

void RecipientRows::inTransaction(const std::function<void()>& work)
{
    openIfClosed();
    m_att->disableControls();
    try {
        Transaction t(databaseOf(m_att), QStringLiteral("recipients_batch"));
        try {
            work();
            t.commit();
        } catch (...) {
            t.rollback();
            throw;
        }
    } catch (...) {
        // The file is as before; the rows in memory must be too, before the
        // grid and the edits follow them again.
        struct ControlsBack {
            Dataset* att;
            ~ControlsBack() { att->enableControls(); }
        } controlsBack{m_att};
        rethrowAfterReload(m_att);
    }
    m_att->enableControls();
}
