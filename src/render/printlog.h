#pragma once

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
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
    // Binds, in this order, the time and the entry's model, target, pages,
    // first and last name, Row_Ids, Names and Reprint: the columns a log
    // line and a pending job share.
    static void bindEntry(QSqlQuery& q, const Entry& entry, const QDateTime& when);

    // Names as stored: one per line, line breaks inside a name made blanks.
    static QString namesText(const QStringList& names);
    static QStringList namesFromText(const QString& text);

    static QList<Entry> newestFirst(const QSqlDatabase& db);

    // Tab-separated, one line per job, newest first, with a title line; the
    // last column says "是" for a reprint.
    static QString toTabSeparated(const QList<Entry>& entries);
};
