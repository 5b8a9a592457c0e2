#pragma once

#include "base/prompt.h"
#include "render/recordrenderer.h"

#include <QString>
#include <QVector>
#include <functional>
#include <memory>

class QPrinter;
class DataModule;
class FitMemo;
struct Session;

// One print job: the rows of the recipient table, one page each, with the
// sender's row and the current model's visibility and places, in the
// session's print font and colour.
namespace BatchPrint
{

struct Result {
    bool ok = false;
    bool canceled = false;
    QString message; // why the job was aborted, or why its marks were not set
    int pages = 0;
    QVector<qint64> rowIds; // the recipient rows printed (their IDs)
    int skipped = 0;        // rows without name and address, given no page
};

// Every recipient row from the first, page breaks between rows and none after
// the last; an empty table gives one page with the sender's fields. Rows
// are read by index: the cursor stays where it was. The printer's paper
// must already be set. A failure or a cancel aborts the job: no half-printed
// job is sent and no partial PDF file is left. A job handed over whole marks
// its rows as printed and adds a line to the print log (one transaction).
// Fits found in `memo` (the look before the job) are drawn as they are.
Result printAll(QPrinter* printer, DataModule* dm, const TemplateLayout& layout,
                const Session& session, Prompt::Progress* progress = nullptr,
                FitMemo* memo = nullptr);

// The given recipient rows (0-based, in the order given), one page each. An
// empty list prints nothing.
// REPRINT logs the job as printing logged rows again.
Result printRows(QPrinter* printer, DataModule* dm, const TemplateLayout& layout,
                 const Session& session, const QVector<int>& rows,
                 Prompt::Progress* progress = nullptr, bool reprint = false,
                 FitMemo* memo = nullptr);

// Rows a job takes a batch at a time (0-based, in the order to print); an
// empty batch ends it. May throw DataError, which aborts the job.
using NextRows = std::function<QVector<int>()>;

// The rows `next` gives, one page each, in one job: a batch is asked for
// when the one before is drawn. No rows at all print nothing.
Result printBatches(QPrinter* printer, DataModule* dm, const TemplateLayout& layout,
                    const Session& session, const NextRows& next,
                    Prompt::Progress* progress = nullptr, FitMemo* memo = nullptr);

// Recipient row `row` (0-based) alone, on one page, blank or not; a row
// out of range gives the sender's page alone. The cursor stays.
Result printRow(QPrinter* printer, DataModule* dm, const TemplateLayout& layout,
                const Session& session, int row);

// What a look over the rows to print found, before the job: each text a
// heading and one line per row (its number as the grid shows it, its name,
// and for each field concerned the field's caption and what happens to it).
struct FitReport {
    // Rows that print whole but with a field shrunk below 8 pt: "以下收件人
    // 的内容被缩小到 8 号字以下：" — something to know, not to decide.
    QString shrunk;
    // Rows with a field that leaves the paper or does not fit its box even
    // at 6 pt: "以下收件人的内容打印不下：".
    QString notFitting;
    // The fitted fields as laid out for the look, for the job to draw.
    std::shared_ptr<FitMemo> fitted;
};

// The report over the rows (all, or the given 0-based ones) on the
// printer's paper, its fits kept in `into` when given (the job's memo over
// several batches). The cursor stays put. Throws DataError. calibration:
// the printer's, when the caller read it once for many reports (a job's
// batches); else it is read here.
FitReport fitReport(QPrinter* printer, DataModule* dm, const TemplateLayout& layout,
                    const Session& session, const QVector<int>& rows, bool all,
                    std::shared_ptr<FitMemo> into = {}, const Calibration* calibration = nullptr);

} // namespace BatchPrint
