#include "print/printjournal.h"

#include "base/dataerror.h"
#include "base/prompt.h"
#include "data/datamodule.h"
#include "data/dataset.h"
#include "data/schema.h"
#include "data/transaction.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <cups/cups.h>
#include <sys/stat.h>

namespace PrintJournal
{

namespace
{

void exec(QSqlQuery& q)
{
    if (!q.exec())
        throw DataError(q.lastError().text());
}

QSqlQuery prepared(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.prepare(sql))
        throw DataError(q.lastError().text());
    return q;
}

QString identityOf(const struct stat& st)
{
    return QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
}

enum class Reached { Yes, No, Unknown };

// Whether queue QUEUE holds job ID as accepted: waiting, held, printing or
// printed. A cancelled or aborted job (one whose document never came
// whole) and a job the queue does not know did not reach it.
Reached queueJobReached(const QString& queue, int id)
{
    cups_job_t* jobs = nullptr;
    const int count =
        cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.toUtf8().constData(), 0, CUPS_WHICHJOBS_ALL);
    if (count < 0)
        return Reached::Unknown;
    Reached reached = Reached::No;
    for (int i = 0; i < count; ++i) {
        if (jobs[i].id != id)
            continue;
        const ipp_jstate_t state = jobs[i].state;
        if (state != IPP_JSTATE_CANCELED && state != IPP_JSTATE_ABORTED)
            reached = Reached::Yes;
    }
    cupsFreeJobs(count, jobs);
    return reached;
}

} // namespace

qint64 writePending(const QSqlDatabase& db, const PrintLog::Entry& entry, const QString& pdfPath,
                    const QString& fileIdentity, const QDateTime& when)
{
    Transaction tx(db, QStringLiteral("print_job_pending"));
    // A server has no last insert id to ask: it names the new row itself.
    const bool server = Schema::isServer(db);
    QSqlQuery q = prepared(db, QStringLiteral("INSERT INTO Print_Pending (Started_At, Model_Name, "
                                              "Target, Pages, First_Name, Last_Name, Row_Ids, "
                                              "Names, Reprint, Job_Path, Job_File) VALUES (?, ?, "
                                              "?, ?, ?, ?, ?, ?, ?, ?, ?)") +
                                   (server ? QStringLiteral(" RETURNING ID") : QString()));
    PrintLog::bindEntry(q, entry, when);
    q.addBindValue(pdfPath.isEmpty() ? QVariant() : QVariant(pdfPath));
    q.addBindValue(fileIdentity.isEmpty() ? QVariant() : QVariant(fileIdentity));
    exec(q);
    const qint64 id =
        server ? (q.next() ? q.value(0).toLongLong() : 0) : q.lastInsertId().toLongLong();
    tx.commit();
    return id;
}

void setCupsJob(const QSqlDatabase& db, qint64 pending, int cupsJob)
{
    Transaction tx(db, QStringLiteral("print_job_queued"));
    QSqlQuery q =
        prepared(db, QStringLiteral("UPDATE Print_Pending SET Cups_Job = ? WHERE ID = ?"));
    q.addBindValue(cupsJob);
    q.addBindValue(pending);
    exec(q);
    tx.commit();
}

void settle(const QSqlDatabase& db, qint64 pending)
{
    Transaction tx(db, QStringLiteral("print_job_done"));
    QSqlQuery q = prepared(db, QStringLiteral("SELECT Started_At, Model_Name, Target, Pages, "
                                              "First_Name, Last_Name, Row_Ids, Names, Reprint "
                                              "FROM Print_Pending WHERE ID = ?"));
    q.addBindValue(pending);
    exec(q);
    if (!q.next())
        throw DataError::refusal(QStringLiteral("打印记录不存在。"));
    const QDateTime when =
        QDateTime::fromString(q.value(0).toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    PrintLog::Entry entry;
    entry.model = q.value(1).toString();
    entry.target = q.value(2).toString();
    entry.pages = q.value(3).toInt();
    entry.firstName = q.value(4).toString();
    entry.lastName = q.value(5).toString();
    entry.rowIds = PrintLog::rowIdsFromText(q.value(6).toString());
    entry.names = PrintLog::namesFromText(q.value(7).toString());
    entry.reprint = q.value(8).toInt() != 0;
    q.finish();
    PrintLog::recordCompletedJob(db, entry, when.isValid() ? when : QDateTime::currentDateTime());
    QSqlQuery done = prepared(db, QStringLiteral("DELETE FROM Print_Pending WHERE ID = ?"));
    done.addBindValue(pending);
    exec(done);
    // The job is out of the program's hands: its record is kept even when
    // a termination signal has arrived meanwhile.
    tx.commitDespiteSignal();
}

void drop(const QSqlDatabase& db, qint64 pending)
{
    Transaction tx(db, QStringLiteral("print_job_dropped"));
    QSqlQuery q = prepared(db, QStringLiteral("DELETE FROM Print_Pending WHERE ID = ?"));
    q.addBindValue(pending);
    exec(q);
    tx.commitDespiteSignal();
}

QString fileIdentity(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return QString();
    return identityOf(st);
}

QString fileIdentity(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return QString();
    return identityOf(st);
}

Leftovers settleLeftovers(const QSqlDatabase& db)
{
    struct Pending {
        qint64 id;
        QString target;
        QString path;
        QString file;
        int cupsJob;
    };
    QList<Pending> pending;
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT ID, Target, Job_Path, Job_File, Cups_Job FROM "
                                   "Print_Pending ORDER BY ID")))
            throw DataError(q.lastError().text());
        while (q.next())
            pending.append({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(),
                            q.value(3).toString(), q.value(4).toInt()});
    }
    Leftovers leftovers;
    for (const Pending& job : std::as_const(pending)) {
        Reached reached = Reached::No;
        if (!job.path.isEmpty())
            reached = !job.file.isEmpty() && fileIdentity(job.path) == job.file ? Reached::Yes
                                                                                : Reached::No;
        else if (job.cupsJob > 0)
            reached = queueJobReached(job.target, job.cupsJob);
        switch (reached) {
        case Reached::Yes:
            settle(db, job.id);
            ++leftovers.settled;
            break;
        case Reached::No:
            drop(db, job.id);
            ++leftovers.dropped;
            break;
        case Reached::Unknown:
            ++leftovers.unknown;
            break;
        }
    }
    return leftovers;
}

QString leftoversMessage(const Leftovers& leftovers)
{
    QStringList lines;
    if (leftovers.settled > 0)
        lines << QStringLiteral(
                     "上次运行在打印作业送出后意外结束：已为 %1 个送出的作业补记打印标记。")
                     .arg(leftovers.settled);
    if (leftovers.dropped > 0)
        lines << QStringLiteral("上次运行有 %1 个打印作业未能送出，没有记打印标记。")
                     .arg(leftovers.dropped);
    if (leftovers.unknown > 0)
        lines << QStringLiteral("有 %1 个上次送往打印机的作业无法向打印服务查明是否送达，"
                                "下次启动时再查。")
                     .arg(leftovers.unknown);
    return lines.join(QLatin1Char('\n'));
}

void settleAtStart(DataModule* dm)
{
    try {
        const Leftovers leftovers = settleLeftovers(dm->database());
        if (leftovers.settled > 0)
            dm->recipients->refresh();
        const QString text = leftoversMessage(leftovers);
        if (!text.isEmpty())
            prompt().message(text, QString(), Prompt::Icon::Information);
    } catch (const DataError& e) {
        prompt().error(QStringLiteral("未能查明上次运行留下的打印作业：") + e.message());
    }
}

} // namespace PrintJournal
