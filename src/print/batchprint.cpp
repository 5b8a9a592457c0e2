#include "print/batchprint.h"

#include "base/session.h"
#include "book/blankrecipient.h"
#include "data/datamodule.h"
#include "data/safefile.h"
#include "data/termination.h"
#include "print/pageheap.h"
#include "print/printerkey.h"
#include "print/printjournal.h"
#include "render/fitmemo.h"
#include "render/labelpicture.h"
#include "render/printfonts.h"
#include "render/printlog.h"
#include "render/printmessages.h"
#include "render/rowselection.h"
#include "templates/fieldcatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <cups/cups.h>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace BatchPrint
{

namespace
{

const char* const kJobFailed = "打印作业出错，未能完成打印！";
// Rows read ahead of the one drawn when fields print as symbols: enough to
// keep other threads encoding while this one draws.
constexpr int kSymbolsAhead = 8;

bool hasSymbols(const FieldFits& fits)
{
    return std::any_of(fits.cbegin(), fits.cend(),
                       [](const FieldFit& f) { return f.symbol != FieldSymbol::Text; });
}

// The temporary file of a job killed on the way stays beside its target. It
// is removed the next time that target is written, if it is surely stale:
// its exact name pattern, a plain file of ours, untouched for ten minutes,
// and not locked by a job still running (every job locks its own).
void removeStaleParts(const QString& target)
{
    const QFileInfo info(target);
    const QDir dir = info.absoluteDir();
    static const QString pattern = QStringLiteral("^%1\\.[0-9a-f]{8}\\.part$");
    const QRegularExpression name(pattern.arg(QRegularExpression::escape(info.fileName())));
    const QStringList candidates =
        dir.entryList({info.fileName() + QStringLiteral(".*.part")},
                      QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    const time_t staleBefore = ::time(nullptr) - 10 * 60;
    for (const QString& candidate : candidates) {
        if (!name.match(candidate).hasMatch())
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(candidate));
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened;
        struct stat named;
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid() &&
            opened.st_mtime < staleBefore && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::lstat(path.constData(), &named) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino)
            ::unlink(path.constData());
        ::close(fd);
    }
}

// The PDF writer's bytes to the job file's descriptor, keeping the system's
// reason of a failed write: QFile keeps only a text. The writer hands over
// its objects in many small pieces; they go out in blocks, not one system
// call each.
class CheckedOutput : public QIODevice
{
public:
    explicit CheckedOutput(int fd) : m_fd(fd)
    {
        m_pending.reserve(kBlock);
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    int failure() const { return m_errno; }
    int descriptor() const { return m_fd; }

    // Writes out what is held; false when a write failed (see failure()).
    bool flushPending()
    {
        if (!m_errno && !m_pending.isEmpty())
            writeOut(m_pending.constData(), m_pending.size());
        m_pending.clear();
        return !m_errno;
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_errno)
            return -1;
        if (m_pending.size() + size > kBlock && !flushPending())
            return -1;
        if (size >= kBlock)
            return writeOut(data, size) ? size : -1;
        m_pending.append(data, size);
        return size;
    }

private:
    static constexpr qint64 kBlock = 64 * 1024;

    bool writeOut(const char* data, qint64 size)
    {
        qint64 done = 0;
        while (done < size) {
            const ssize_t n = ::write(m_fd, data + done, size_t(size - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_errno = n < 0 ? errno : EIO;
                setErrorString(QString::fromLocal8Bit(std::strerror(m_errno)));
                return false;
            }
            done += n;
        }
        return true;
    }

    int m_fd;
    int m_errno = 0;
    QByteArray m_pending;
};

// Why writing the job file failed; a full disk (or a file size limit, which
// fails a write the same way) is said as such.
QString writeFailure(const QString& path, int err)
{
    const QString reason = QString::fromLocal8Bit(std::strerror(err));
    if (err == ENOSPC || err == EDQUOT || err == EFBIG)
        return QStringLiteral("磁盘空间不足，无法写入文件 %1\n").arg(path) + reason;
    return QStringLiteral("无法写入文件 %1。\n").arg(path) + reason;
}

// A job is drawn into a PDF file first: for a PDF target into a new file next
// to it that replaces the target only when the job is complete, for a CUPS
// queue into a private spool file that is submitted only then. A failed,
// cancelled or interrupted job therefore never sends half a job to a printer
// or leaves a partial file behind. Both files are written through their open
// descriptor, never reopened by name.
class Job
{
public:
    explicit Job(QPrinter* printer) : m_printer(printer)
    {
        m_toQueue = printer->outputFormat() == QPrinter::NativeFormat;
        // A spool file is never committed: it goes when the job is submitted.
        m_output = std::make_unique<SafeFile>(
            m_toQueue ? QDir::temp().filePath(QStringLiteral("waylark-job.pdf"))
                      : printer->outputFileName());
    }
    ~Job()
    {
        if (m_painter.isActive())
            abort();
    }

    QPagedPaintDevice* device() const { return m_pdf.get(); }

    // False with error set when the output file cannot be made.
    bool begin(const QFont& font, QString* error)
    {
        removeStaleParts(m_output->target());
        if (!m_output->open()) {
            *error = m_output->error();
            return false;
        }
        const int fd = static_cast<QFile*>(m_output->device())->handle();
        // Held until the file is gone: a later job sees this one is alive.
        ::flock(fd, LOCK_EX | LOCK_NB);
        m_out = std::make_unique<CheckedOutput>(fd);
        m_pdf = std::make_unique<QPdfWriter>(m_out.get());
        m_pdf->setResolution(m_printer->resolution());
        QPageLayout layout = m_printer->pageLayout();
        if (m_printer->fullPage()) // positions count from the paper's corner
            layout.setMargins(QMarginsF());
        m_pdf->setPageLayout(layout);
        m_pdf->setTitle(QString()); // the job's title is empty
        if (!m_painter.begin(m_pdf.get())) {
            *error = QString::fromUtf8(kJobFailed);
            discard();
            return false;
        }
        m_painter.setFont(font);
        return true;
    }
    QPainter& painter() { return m_painter; }

    // Why the job file could not be written so far; empty while it could.
    QString writeError() const
    {
        return m_out && m_out->failure() ? writeFailure(m_output->target(), m_out->failure())
                                         : QString();
    }

    // Every page drawn: ends the PDF and writes it out, ready to be handed
    // over. False with error set (the file is then gone).
    bool complete(QString* error)
    {
        m_painter.end();
        m_pdf.reset();
        m_out->flushPending();
        if (!writeError().isEmpty()) {
            *error = writeError();
            discard();
            return false;
        }
        if (!m_output->flush()) {
            *error = m_output->error();
            discard();
            return false;
        }
        return true;
    }

    // For the journal: the absolute path the PDF file will have and the
    // identity of the file that will be there; both empty for a queue.
    QString pdfPath() const
    {
        return m_toQueue ? QString() : QFileInfo(m_output->target()).absoluteFilePath();
    }
    QString fileIdentity() const
    {
        return m_toQueue ? QString() : PrintJournal::fileIdentity(m_out->descriptor());
    }

    // Puts the complete job in place, or into the queue; QUEUED hears the
    // queue's job id before the document is sent and may refuse it (false
    // with a reason). False with error set when the job did not get there.
    bool handOver(const std::function<bool(int, QString*)>& queued, QString* error)
    {
        if (m_toQueue) {
            const bool ok = submit(queued, error);
            if (!ok && error->isEmpty())
                *error = m_output->error();
            m_output->discard();
            return ok;
        }
        if (!m_output->commit()) {
            *error = m_output->error();
            return false;
        }
        return true;
    }

    void abort()
    {
        if (m_painter.isActive())
            m_painter.end();
        discard();
    }

private:
    void discard()
    {
        m_pdf.reset();
        m_out.reset();
        m_output->discard();
    }

    // Hands the complete job to the CUPS queue with the printer's settings:
    // a job is made (its id goes to QUEUED), then its document is sent. A
    // job whose document did not come whole is cancelled.
    bool submit(const std::function<bool(int, QString*)>& queued, QString* error)
    {
        int count = 0;
        cups_option_t* options = nullptr;
        count = cupsAddOption("copies", QByteArray::number(m_printer->copyCount()).constData(),
                              count, &options);
        if (m_printer->collateCopies())
            count = cupsAddOption("collate", "true", count, &options);
        const char* sides = "one-sided";
        if (m_printer->duplex() == QPrinter::DuplexLongSide)
            sides = "two-sided-long-edge";
        else if (m_printer->duplex() == QPrinter::DuplexShortSide)
            sides = "two-sided-short-edge";
        count = cupsAddOption("sides", sides, count, &options);
        const QSizeF mm = m_printer->pageLayout().fullRect(QPageLayout::Millimeter).size();
        const QByteArray media = QStringLiteral("Custom.%1x%2mm")
                                     .arg(mm.width(), 0, 'f', 1)
                                     .arg(mm.height(), 0, 'f', 1)
                                     .toLatin1();
        count = cupsAddOption("media", media.constData(), count, &options);
        const QByteArray queue = m_printer->printerName().toUtf8();
        const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, queue.constData(), "", count, options);
        cupsFreeOptions(count, options);
        const QString refused = QStringLiteral("打印作业未能送到打印机：");
        if (job <= 0) {
            *error = refused + QString::fromUtf8(cupsLastErrorString());
            return false;
        }
        if (!queued(job, error)) {
            cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.constData(), job, 0);
            return false;
        }
        QFile document(m_output->temporaryName());
        bool sent = document.open(QIODevice::ReadOnly) &&
                    cupsStartDocument(CUPS_HTTP_DEFAULT, queue.constData(), job, "",
                                      CUPS_FORMAT_PDF, 1) == HTTP_STATUS_CONTINUE;
        QByteArray chunk;
        while (sent && !document.atEnd()) {
            chunk = document.read(64 * 1024);
            sent = !chunk.isEmpty() &&
                   cupsWriteRequestData(CUPS_HTTP_DEFAULT, chunk.constData(),
                                        size_t(chunk.size())) == HTTP_STATUS_CONTINUE;
        }
        const QString reason = QString::fromUtf8(cupsLastErrorString());
        if (cupsFinishDocument(CUPS_HTTP_DEFAULT, queue.constData()) != IPP_STATUS_OK || !sent) {
            *error = refused + (sent ? QString::fromUtf8(cupsLastErrorString()) : reason);
            cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.constData(), job, 0);
            return false;
        }
        return true;
    }

    QPrinter* m_printer;
    std::unique_ptr<SafeFile> m_output;
    std::unique_ptr<CheckedOutput> m_out;
    std::unique_ptr<QPdfWriter> m_pdf;
    QPainter m_painter;
    bool m_toQueue = false;
};

enum class Rows { All, One, Given };

// The job is handed over: marks its rows and logs it, then rereads the
// printed rows in place, so that the grid keeps its rows, current row and
// selection.
void settleJob(qint64 pending, DataModule* dm, Result* result)
{
    try {
        PrintJournal::settle(dm->database(), pending);
        if (result->rowIds.isEmpty())
            return;
        dm->recipients->reread(result->rowIds);
    } catch (const DataError& e) {
        // Still pending: the next start finds the job in place and marks it.
        result->message = QStringLiteral("打印已完成，但未能记下打印标记：") + e.message() +
                          QStringLiteral("\n下次启动时将补记。");
    }
}

// Leaves out the rows with neither name nor address, counting them in
// result; false, with the message, when none is left.
bool dropBlankRows(Dataset* att, QVector<int>* rows, Result* result)
{
    QVector<int> kept;
    for (int row : std::as_const(*rows)) {
        if (isBlankRecipient(att, row))
            ++result->skipped;
        else
            kept << row;
    }
    *rows = kept;
    if (rows->isEmpty()) {
        result->message = PrintMessages::nothingToPrint() + QLatin1Char('\n') +
                          skippedBlankRecipientsText(result->skipped);
        return false;
    }
    return true;
}

// The next batch with its blank rows left out (counted in result); empty
// when `next` has none left.
QVector<int> nextBatch(const NextRows& next, Dataset* att, Result* result)
{
    for (;;) {
        const QVector<int> batch = next();
        if (batch.isEmpty())
            return batch;
        QVector<int> kept;
        for (int row : batch) {
            if (isBlankRecipient(att, row))
                ++result->skipped;
            else
                kept << row;
        }
        if (!kept.isEmpty())
            return kept;
    }
}

// Hands the completed job over: written down in the journal before it
// leaves, so that a run killed after the handover still gets its marks at
// the next start; marked right after. False, with the message, when it did
// not leave.
bool handOver(Job& job, DataModule* dm, const PrintLog::Entry& entry, Result* result)
{
    qint64 pending = 0;
    try {
        pending = PrintJournal::writePending(dm->database(), entry, job.pdfPath(),
                                             job.fileIdentity(), QDateTime::currentDateTime());
    } catch (const DataError& e) {
        job.abort();
        result->message = QString::fromUtf8(kJobFailed) + QLatin1Char('\n') + e.message();
        return false;
    }
    const auto queued = [&](int cupsJob, QString* error) {
        try {
            PrintJournal::setCupsJob(dm->database(), pending, cupsJob);
            return true;
        } catch (const DataError& e) {
            *error = QString::fromUtf8(kJobFailed) + QLatin1Char('\n') + e.message();
            return false;
        }
    };
    if (!job.handOver(queued, &result->message)) {
        try {
            PrintJournal::drop(dm->database(), pending);
        } catch (const DataError&) {
            // left pending: the next start finds it did not get there
        }
        return false;
    }
    result->ok = true;
    settleJob(pending, dm, result);
    return true;
}

// The fields of a job's rows in order. With symbols, a few rows are read
// ahead and their symbols encoded on other threads while this one draws.
class RowsAhead
{
public:
    RowsAhead(const RecordRenderer::Collector& collector, const QVector<int>& order,
              const FieldFits& fits, FitMemo& memo)
        : m_collector(collector), m_order(order), m_fits(fits), m_memo(memo),
          m_lookAhead(hasSymbols(fits) ? kSymbolsAhead : 1)
    {
    }

    RecordFields next()
    {
        for (; m_read < m_order.size() && int(m_ahead.size()) < m_lookAhead; ++m_read) {
            m_ahead.push_back(m_collector.collect(m_order.at(m_read)));
            if (m_lookAhead > 1)
                RecordRenderer::encodeAhead(m_ahead.back(), m_fits, m_memo);
        }
        RecordFields fields = std::move(m_ahead.front());
        m_ahead.pop_front();
        return fields;
    }

private:
    const RecordRenderer::Collector& m_collector;
    const QVector<int>& m_order;
    const FieldFits& m_fits;
    FitMemo& m_memo;
    const int m_lookAhead;
    std::deque<RecordFields> m_ahead;
    int m_read = 0;
};

// Ends the page drawn and starts the next; a full disk ends the job at
// once, not after every page is drawn.
void nextPage(Job& job)
{
    if (!job.writeError().isEmpty())
        throw DataError(job.writeError());
    if (!job.device()->newPage())
        throw DataError::refusal(QString::fromUtf8(kJobFailed));
}

Result run(QPrinter* printer, DataModule* dm, const TemplateLayout& layout, const Session& session,
           Prompt::Progress* progress, Rows which, const QVector<int>& given = {},
           bool reprint = false, FitMemo* memo = nullptr, const NextRows* more = nullptr)
{
    Result result;
    Dataset* att = dm->recipients;
    QVector<int> rows = given;
    if (more) {
        try {
            rows = nextBatch(*more, att, &result);
        } catch (const DataError& e) {
            result.message = QString::fromUtf8(kJobFailed) + QLatin1Char('\n') + e.message();
            return result;
        }
        if (rows.isEmpty()) {
            result.message = PrintMessages::nothingToPrint();
            if (result.skipped)
                result.message += QLatin1Char('\n') + skippedBlankRecipientsText(result.skipped);
            return result;
        }
    }
    if (which == Rows::Given && rows.isEmpty())
        return result;
    // Rows with neither name nor address print no page; an empty table still
    // gives its one page with the sender.
    const bool wholeTable = which == Rows::All && att->recordCount() > 0;
    if (wholeTable)
        rows = RowSelection::allRows(att->recordCount());
    if (which != Rows::One && !rows.isEmpty()) {
        if (!dropBlankRows(att, &rows, &result))
            return result;
        which = Rows::Given;
    }
    // Named before the job renames its output.
    const QString target = printer->outputFormat() == QPrinter::PdfFormat
                               ? printer->outputFileName()
                               : printer->printerName();
    if (printer->outputFormat() == QPrinter::PdfFormat) {
        result.message = PrintMessages::pdfTargetError(target);
        if (!result.message.isEmpty())
            return result;
    }
    const PrintFonts fonts = PrintFonts::of(layout, session);
    const PageHeap heap;
    Job job(printer);
    if (!job.begin(fonts.print, &result.message))
        return result;
    const double dpiX = job.device()->logicalDpiX();
    const double dpiY = job.device()->logicalDpiY();
    Calibration calibration;
    FieldFits fits;
    QImage picture;
    FitMemo ownMemo;
    if (!memo)
        memo = &ownMemo;
    const int nameField = att->fieldIndex(QStringLiteral("Name"));
    QStringList names;

    try {
        calibration =
            Calibration::load(dm->database(), session.currentTemplate, printerKey(printer));
        fits = layout.fits();
        picture = LabelPicture::load(layout, dm->database(), session.appDir);
        const RecordRenderer::Collector collector(layout, dm->sender, att);
        // Rows are read by index: the cursor, and with it the grid and the
        // user's selection, stay where they were.
        QVector<int> order = which == Rows::All ? RowSelection::allRows(att->recordCount()) : rows;
        if (order.isEmpty())
            order << -1; // an empty table still gives the sender's page
        RowsAhead rows(collector, order, fits, *memo);
        for (int next = 0;;) {
            const int row = order.at(next++);
            LabelPicture::draw(job.painter(), picture, dpiX, dpiY, calibration);
            RecordRenderer::drawRecord(job.painter(), rows.next(), session.printColour(), dpiX,
                                       dpiY, calibration, fits, memo);
            ++result.pages;
            if (row >= 0) {
                result.rowIds << att->rowId(row);
                names << (nameField >= 0 ? att->cellText(row, nameField) : QString());
            }
            if ((progress && !progress->setValue(result.pages)) || Termination::requested()) {
                result.canceled = true;
                break;
            }
            if (next >= order.size() && more)
                order += nextBatch(*more, att, &result);
            if (next >= order.size())
                break;
            nextPage(job);
        }
    } catch (const DataError& e) {
        // The data layer's own words go on the second line.
        result.message = e.kind() == DataError::Kind::Refusal
                             ? e.message()
                             : QString::fromUtf8(kJobFailed) + QLatin1Char('\n') + e.message();
    }

    if (result.canceled || !result.message.isEmpty()) {
        job.abort();
        result.pages = 0;
        result.rowIds.clear();
        return result;
    }
    auto failed = [&result] {
        result.pages = 0;
        result.rowIds.clear();
        return result;
    };
    if (!job.complete(&result.message))
        return failed();
    PrintLog::Entry entry;
    entry.model = session.currentTemplate;
    entry.target = target;
    entry.pages = result.pages;
    entry.firstName = names.value(0);
    entry.lastName = names.isEmpty() ? QString() : names.last();
    entry.rowIds = result.rowIds;
    entry.names = names;
    entry.reprint = reprint;
    if (!handOver(job, dm, entry, &result))
        return failed();
    return result;
}

} // namespace

Result printAll(QPrinter* printer, DataModule* dm, const TemplateLayout& layout,
                const Session& session, Prompt::Progress* progress, FitMemo* memo)
{
    return run(printer, dm, layout, session, progress, Rows::All, {}, false, memo);
}

Result printRows(QPrinter* printer, DataModule* dm, const TemplateLayout& layout,
                 const Session& session, const QVector<int>& rows, Prompt::Progress* progress,
                 bool reprint, FitMemo* memo)
{
    return run(printer, dm, layout, session, progress, Rows::Given, rows, reprint, memo);
}

Result printBatches(QPrinter* printer, DataModule* dm, const TemplateLayout& layout,
                    const Session& session, const NextRows& next, Prompt::Progress* progress,
                    FitMemo* memo)
{
    return run(printer, dm, layout, session, progress, Rows::Given, {}, false, memo, &next);
}

Result printRow(QPrinter* printer, DataModule* dm, const TemplateLayout& layout,
                const Session& session, int row)
{
    if (row < 0 || row >= dm->recipients->recordCount())
        row = -1;
    return run(printer, dm, layout, session, nullptr, Rows::One, {row});
}

namespace
{

QString sizeText(double points)
{
    return QString::number(points, 'g', 3);
}

// What happens to one field, for the report.
QString misfitText(const Misfit& m)
{
    const QString& caption = m.field->caption;
    switch (m.kind) {
    case Misfit::Kind::Shrunk:
        return QStringLiteral("%1被缩小到 %2 号字").arg(caption, sizeText(m.pointSize));
    case Misfit::Kind::Cut:
        return QStringLiteral("%1在框底截断，以“…”结尾").arg(caption);
    case Misfit::Kind::TooWide:
        return QStringLiteral("%1的框太窄，放不下一个字").arg(caption);
    case Misfit::Kind::NotEncodable:
        return QStringLiteral("%1无法编成条码，按文字打印").arg(caption);
    case Misfit::Kind::OffPaper:
        break;
    }
    return QStringLiteral("%1超出纸张").arg(caption);
}

QString rowLine(int row, const QString& name, const QStringList& what)
{
    QString head = QStringLiteral("第 %1 行").arg(row + 1);
    if (!name.trimmed().isEmpty())
        head += QLatin1Char(' ') + name.trimmed();
    return head + QStringLiteral("：") + what.join(QStringLiteral("；"));
}

} // namespace

FitReport fitReport(QPrinter* printer, DataModule* dm, const TemplateLayout& layout,
                    const Session& session, const QVector<int>& rows, bool all,
                    std::shared_ptr<FitMemo> into, const Calibration* calibration)
{
    Dataset* att = dm->recipients;
    const QVector<int> which = all ? RowSelection::allRows(att->recordCount()) : rows;
    if (which.isEmpty())
        return {};
    const PrintFonts fonts = PrintFonts::of(layout, session);
    const Calibration read =
        calibration
            ? *calibration
            : Calibration::load(dm->database(), session.currentTemplate, printerKey(printer));
    const FieldFits fits = layout.fits();
    const QRectF page = printer->pageLayout().fullRectPixels(printer->resolution());
    const int nameField = att->fieldIndex(QStringLiteral("Name"));
    const std::shared_ptr<FitMemo> memo = into ? into : std::make_shared<FitMemo>();
    QStringList shrunk;
    QStringList notFitting;
    const RecordRenderer::Collector collector(layout, dm->sender, att);
    for (int row : which) {
        const RecordFields fields = collector.collect(row);
        QStringList smaller;
        QStringList lost;
        for (const Misfit& m : RecordRenderer::misfits(
                 fields, fits, fonts.print, printer, page.width(), page.height(), read, memo.get()))
            (m.kind == Misfit::Kind::Shrunk ? smaller : lost) << misfitText(m);
        const QString name = nameField >= 0 ? att->cellText(row, nameField) : QString();
        if (!smaller.isEmpty())
            shrunk << rowLine(row, name, smaller);
        if (!lost.isEmpty())
            notFitting << rowLine(row, name, lost);
    }
    FitReport report;
    report.fitted = memo;
    if (!shrunk.isEmpty())
        report.shrunk = QStringLiteral("以下收件人的内容被缩小到 8 号字以下：\n") +
                        shrunk.join(QLatin1Char('\n'));
    if (!notFitting.isEmpty())
        report.notFitting =
            QStringLiteral("以下收件人的内容打印不下：\n") + notFitting.join(QLatin1Char('\n'));
    return report;
}

} // namespace BatchPrint
