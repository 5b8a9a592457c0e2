#include "render/printmarks.h"

#include "base/dataerror.h"
#include "data/schema.h"
#include "data/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

QString PrintMarks::timeText(const QDateTime& when)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void PrintMarks::markPrinted(const QSqlDatabase& db, const QVector<qint64>& rowIds,
                             const QDateTime& when)
{
    if (Schema::isServer(db)) {
        // One statement for the whole job: a statement per row is a round
        // trip per page to the server. A row printed twice counts twice.
        QStringList ids;
        ids.reserve(rowIds.size());
        for (qint64 id : rowIds)
            ids << QString::number(id);
        QSqlQuery q(db);
        if (!q.prepare(QStringLiteral(
                "UPDATE Exp_Att_Info a SET Printed_At = ?, Print_Count = coalesce(a.Print_Count, "
                "0) + n.times FROM (SELECT id, count(*) AS times FROM unnest(?::bigint[]) AS id "
                "GROUP BY id) n WHERE a.ID = n.id")))
            throw DataError(q.lastError().text());
        q.addBindValue(timeText(when));
        q.addBindValue(QString(QLatin1Char('{') + ids.join(QLatin1Char(',')) + QLatin1Char('}')));
        if (!q.exec())
            throw DataError(q.lastError().text());
        return;
    }
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("UPDATE Exp_Att_Info SET Printed_At = ?, "
                                  "Print_Count = coalesce(Print_Count, 0) + 1 WHERE ID = ?")))
        throw DataError(q.lastError().text());
    const QString time = timeText(when);
    for (qint64 id : rowIds) {
        q.bindValue(0, time);
        q.bindValue(1, id);
        if (!q.exec())
            throw DataError(q.lastError().text());
    }
}

void PrintMarks::clearMarks(const QSqlDatabase& db, const QVector<qint64>& rowIds)
{
    Transaction tx(db, QStringLiteral("print_marks_cleared"));
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral(
            "UPDATE Exp_Att_Info SET Printed_At = NULL, Print_Count = NULL WHERE ID = ?")))
        throw DataError(q.lastError().text());
    for (qint64 id : rowIds) {
        q.bindValue(0, id);
        if (!q.exec())
            throw DataError(q.lastError().text());
    }
    tx.commit();
}
