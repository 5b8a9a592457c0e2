#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QVector>

// The printed marks of the recipient rows: when each was last printed and
// how often.
class PrintMarks
{
public:
    // The time as the marks and the log store it.
    static QString timeText(const QDateTime& when);

    // Sets the marks of the rows with these IDs. Runs inside the caller's
    // transaction; throws DataError.
    static void markPrinted(const QSqlDatabase& db, const QVector<qint64>& rowIds,
                            const QDateTime& when);
    // Takes the marks off these rows, as if never printed (a jammed form):
    // they count as "未打印" again. The print log keeps its lines. One
    // transaction; throws DataError.
    static void clearMarks(const QSqlDatabase& db, const QVector<qint64>& rowIds);
};
