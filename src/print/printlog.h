#pragma once

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

// One line per completed print job, with the rows it printed so that they
// can be printed again.
class PrintLog
{
public:
    struct Entry {
        qint64 id = 0;
        QString printedAt; // "yyyy-MM-dd HH:mm:ss"
        QString model;
        QString target; // the CUPS queue, or the PDF file
        int pages = 0;
        QString firstName;
        QString lastName;
        QVector<qint64> rowIds; // Exp_Att_Info IDs, in printing order
        QStringList names;      // every recipient's name, in printing order
        bool reprint = false;   // printed logged rows again
    };

    // A job was handed over whole: marks its rows and adds its line. Runs
    // inside the caller's transaction (PrintJournal::settle); throws
    // DataError.
    static void recordCompletedJob(const QSqlDatabase& db, const Entry& entry,
                                   const QDateTime& when);

    // Row_Ids as stored: "12,13,20", never null.
    static QString rowIdsText(const QVector<qint64>& ids);
    static QVector<qint64> rowIdsFromText(const QString& text);
    // Names as stored: one per line, line breaks inside a name made blanks.
    static QString namesText(const QStringList& names);
    static QStringList namesFromText(const QString& text);

    static QList<Entry> newestFirst(const QSqlDatabase& db);

    // Tab-separated, one line per job, newest first, with a title line; the
    // last column says "是" for a reprint.
    static QString toTabSeparated(const QList<Entry>& entries);
};
