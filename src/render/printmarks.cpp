#include "render/printmarks.h"

#include "base/dataerror.h"
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
