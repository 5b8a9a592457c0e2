#include "render/printlog.h"

#include "base/dataerror.h"
#include "render/printmarks.h"

#include <QSqlError>
#include <QSqlQuery>

QString PrintLog::rowIdsText(const QVector<qint64>& ids)
{
    QStringList parts;
    parts.reserve(ids.size());
    for (qint64 id : ids)
        parts << QString::number(id);
    // Never null: a job of the sender's page alone has no rows.
    return ids.isEmpty() ? QStringLiteral("") : parts.join(QLatin1Char(','));
}

QVector<qint64> PrintLog::rowIdsFromText(const QString& text)
{
    QVector<qint64> ids;
    for (const QStringView part : QStringView(text).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint64 id = part.toLongLong(&ok);
        if (ok)
            ids << id;
    }
    return ids;
}

void PrintLog::bindEntry(QSqlQuery& q, const Entry& entry, const QDateTime& when)
{
    q.addBindValue(PrintMarks::timeText(when));
    q.addBindValue(entry.model);
    q.addBindValue(entry.target);
    q.addBindValue(entry.pages);
    q.addBindValue(entry.firstName);
    q.addBindValue(entry.lastName);
    q.addBindValue(rowIdsText(entry.rowIds));
    q.addBindValue(namesText(entry.names));
    q.addBindValue(entry.reprint ? 1 : 0);
}

QString PrintLog::namesText(const QStringList& names)
{
    QStringList lines;
    lines.reserve(names.size());
    for (QString name : names) {
        name.replace(QLatin1Char('\r'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        lines << name;
    }
    return lines.join(QLatin1Char('\n'));
}

QStringList PrintLog::namesFromText(const QString& text)
{
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

namespace
{

// A cell of the tab-separated output: tabs and line breaks become blanks.
QString cell(QString text)
{
    for (QChar& c : text)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return text;
}

} // namespace

void PrintLog::recordCompletedJob(const QSqlDatabase& db, const Entry& entry, const QDateTime& when)
{
    PrintMarks::markPrinted(db, entry.rowIds, when);
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("INSERT INTO Print_Log (Printed_At, Model_Name, Target, Pages, "
                                  "First_Name, Last_Name, Row_Ids, Names, Reprint) VALUES (?, ?, "
                                  "?, ?, ?, ?, ?, ?, ?)")))
        throw DataError(q.lastError().text());
    bindEntry(q, entry, when);
    if (!q.exec())
        throw DataError(q.lastError().text());
}

QList<PrintLog::Entry> PrintLog::newestFirst(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT ID, Printed_At, Model_Name, Target, Pages, First_Name, "
                               "Last_Name, Row_Ids, Names, Reprint FROM Print_Log ORDER BY ID "
                               "DESC")))
        throw DataError(q.lastError().text());
    QList<Entry> out;
    while (q.next()) {
        Entry e;
        e.id = q.value(0).toLongLong();
        e.printedAt = q.value(1).toString();
        e.model = q.value(2).toString();
        e.target = q.value(3).toString();
        e.pages = q.value(4).toInt();
        e.firstName = q.value(5).toString();
        e.lastName = q.value(6).toString();
        e.rowIds = rowIdsFromText(q.value(7).toString());
        e.names = namesFromText(q.value(8).toString());
        e.reprint = q.value(9).toInt() != 0;
        out << e;
    }
    return out;
}

QString PrintLog::toTabSeparated(const QList<Entry>& entries)
{
    QString s =
        QStringLiteral("时间\t模板\t打印机或文件\t页数\t第一位收件人\t最后一位收件人\t重新打印\n");
    for (const Entry& e : entries)
        s += QStringList{cell(e.printedAt),
                         cell(e.model),
                         cell(e.target),
                         QString::number(e.pages),
                         cell(e.firstName),
                         cell(e.lastName),
                         e.reprint ? QStringLiteral("是") : QString()}
                 .join(QLatin1Char('\t')) +
             QLatin1Char('\n');
    return s;
}
