#pragma once

#include "render/printlog.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

class DataModule;

// Print jobs on their way. A job is written down as pending, with its rows,
// before it is handed over (its PDF file renamed into place, or its document
// sent to a CUPS queue) and settled right after: its rows marked, its log
// line added. A run killed in between leaves the job pending; the next start
// settles it when it reached its target (the file in place, the queue's job
// accepted) and drops it when it did not, so no completed job ends unmarked
// and no job that never printed is marked. Every function throws DataError.
namespace PrintJournal
{

// The job, for a PDF target, is the file with this "device:inode" at the
// absolute path PDFPATH once renamed; for a queue both are empty.
qint64 writePending(const QSqlDatabase& db, const PrintLog::Entry& entry, const QString& pdfPath,
                    const QString& fileIdentity, const QDateTime& when);
// The queue took the job under this id; its document is still to follow.
void setCupsJob(const QSqlDatabase& db, qint64 pending, int cupsJob);
// The job reached its target: marks, log line and the pending row's end in
// one transaction, which a termination signal waits for.
void settle(const QSqlDatabase& db, qint64 pending);
// The job never reached its target.
void drop(const QSqlDatabase& db, qint64 pending);

// "device:inode" of the file at PATH (or of an open descriptor); empty when
// there is none.
QString fileIdentity(const QString& path);
QString fileIdentity(int fd);

struct Leftovers {
    int settled = 0;
    int dropped = 0;
    int unknown = 0; // queue jobs whose queue could not be asked; kept for the next start
};

// At start: every job a killed run left pending, settled or dropped.
Leftovers settleLeftovers(const QSqlDatabase& db);
// What settleLeftovers() did, for the user; empty when nothing was pending.
QString leftoversMessage(const Leftovers& leftovers);

// The start's step, for the windows and the command line alike: settles the
// leftovers, rereads the recipients when marks changed and says what was
// done through the prompt seam. A database error is said; the start goes on.
void settleAtStart(DataModule* dm);

} // namespace PrintJournal
