#include "batchprint.h"

#include "datamodule.h"
#include "printlog.h"
#include "runstate.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <cups/cups.h>
#include <memory>
#include <QPainter>
#include <QPrinter>

namespace BatchPrint {

namespace {

// A job is drawn into a PDF file first: for a PDF target under a temporary
// name that is renamed when the job is complete, for a CUPS queue into a spool
// file that is submitted only then. A failed or cancelled job therefore never
// sends half a job to a printer or leaves a partial file behind.
class Job
{
public:
    explicit Job(QPrinter* printer) : m_printer(printer)
    {
        m_toQueue = printer->outputFormat() == QPrinter::NativeFormat;
        if (m_toQueue) {
            m_spoolFile.setFileTemplate(QDir::temp().filePath(QStringLiteral("waylark-job-XXXXXX.pdf")));
            m_spoolFile.open();
            m_spoolFile.close();
            m_spool = std::make_unique<QPrinter>(QPrinter::HighResolution);
            m_spool->setOutputFormat(QPrinter::PdfFormat);
            m_spool->setOutputFileName(m_spoolFile.fileName());
            m_spool->setResolution(printer->resolution());
            m_spool->setFullPage(printer->fullPage());
            m_spool->setPageLayout(printer->pageLayout());
            m_target = m_spoolFile.fileName();
        } else {
            m_target = printer->outputFileName();
            m_part = m_target + QLatin1String(".part");
            printer->setOutputFileName(m_part);
        }
        device()->setDocName(QString()); // the job's title is empty
    }
    ~Job()
    {
        if (m_painter.isActive())
            abort();
        if (!m_toQueue)
            m_printer->setOutputFileName(m_target);
    }

    QPrinter* device() const { return m_toQueue ? m_spool.get() : m_printer; }

    bool begin(const QFont& font)
    {
        if (!m_painter.begin(device()))
            return false;
        m_painter.setFont(font);
        return true;
    }
    QPainter& painter() { return m_painter; }

    bool finish(QString* error)
    {
        m_painter.end();
        if (device()->printerState() == QPrinter::Error) {
            *error = QStringLiteral("打印作业出错，未能完成打印！");
            discard();
            return false;
        }
        if (m_toQueue)
            return submit(error);
        QFile::remove(m_target);
        if (!QFile::rename(m_part, m_target)) {
            *error = QStringLiteral("无法写入文件：") + m_target;
            discard();
            return false;
        }
        return true;
    }

    void abort()
    {
        device()->abort();
        if (m_painter.isActive())
            m_painter.end();
        discard();
    }

private:
    void discard()
    {
        if (!m_toQueue)
            QFile::remove(m_part);
    }

    // Hands the complete job to the CUPS queue with the printer's settings.
    bool submit(QString* error)
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
        const int job = cupsPrintFile(m_printer->printerName().toUtf8().constData(),
                                      QFile::encodeName(m_target).constData(), "", count, options);
        cupsFreeOptions(count, options);
        if (job <= 0) {
            *error = QStringLiteral("打印作业未能送到打印机：") +
                     QString::fromUtf8(cupsLastErrorString());
            return false;
        }
        return true;
    }

    QPrinter* m_printer;
    std::unique_ptr<QPrinter> m_spool;
    QTemporaryFile m_spoolFile;
    QPainter m_painter;
    bool m_toQueue = false;
    QString m_target;
    QString m_part;
};

enum class Rows { All, Current, Given };

// The job is complete: marks its rows and logs it, then rereads the table
// with its cursor where it was.
void recordCompletedJob(const QString& target, TDataModule1* dm, const QStringList& names,
                        Result* result)
{
    PrintLog::Entry entry;
    entry.model = runState().currentModel;
    entry.target = target;
    entry.pages = result->pages;
    entry.firstName = names.value(0);
    entry.lastName = names.isEmpty() ? QString() : names.last();
    entry.rowIds = result->rowIds;
    try {
        PrintLog::recordCompletedJob(dm->DB_main(), entry, QDateTime::currentDateTime());
        if (result->rowIds.isEmpty())
            return;
        Dataset* att = dm->TB_Att;
        const int row = att->recNo();
        const bool pastEnd = att->eof();
        att->refresh();
        if (row >= 0 && row < att->recordCount()) {
            att->moveTo(row);
            if (pastEnd)
                att->next();
        }
    } catch (const DataError& e) {
        result->message = QStringLiteral("打印已完成，但未能记下打印标记：") + e.message();
    }
}

Result run(QPrinter* printer, TDataModule1* dm, const FieldPositions& positions, const QFont& font,
           Prompt::Progress* progress, Rows which, const QVector<int>& given = {})
{
    Result result;
    Dataset* att = dm->TB_Att;
    if (which == Rows::Given && given.isEmpty())
        return result;
    // Named before the job renames its output.
    const QString target = printer->outputFormat() == QPrinter::PdfFormat
                               ? printer->outputFileName()
                               : printer->printerName();
    Job job(printer);
    if (!job.begin(font)) {
        result.message = QStringLiteral("打印机没准备好！");
        return result;
    }
    const double dpiX = job.device()->logicalDpiX();
    const double dpiY = job.device()->logicalDpiY();
    Calibration calibration;
    const bool many = which != Rows::Current;
    const int nameField = att->fieldIndex(QStringLiteral("Name"));
    QStringList names;

    // The grid and the bound edits follow once, at the end.
    if (many)
        att->disableControls();
    try {
        calibration = Calibration::load(dm->DB_main(), runState().currentModel,
                                        Calibration::printerKey(printer));
        int next = 0;
        if (which == Rows::All)
            att->first();
        else if (which == Rows::Given)
            att->moveTo(given.at(next++));
        for (;;) {
            const RecordFields fields = RecordRenderer::collect(dm->TB_Model, dm->TB_Send, att, positions);
            RecordRenderer::Draw_Record(job.painter(), fields, dpiX, dpiY, calibration);
            ++result.pages;
            if (att->recNo() >= 0) {
                result.rowIds << att->rowId(att->recNo());
                names << (nameField >= 0 ? att->cellText(att->recNo(), nameField) : QString());
            }
            if (progress && !progress->setValue(result.pages)) {
                result.canceled = true;
                break;
            }
            if (which == Rows::Current)
                break;
            if (which == Rows::Given) {
                if (next >= given.size())
                    break;
                att->moveTo(given.at(next++));
            } else {
                att->next();
                if (att->eof())
                    break;
            }
            if (!job.device()->newPage())
                throw DataError(QStringLiteral("打印作业出错，未能完成打印！"));
        }
    } catch (const DataError& e) {
        result.message = e.message();
    }
    if (many)
        att->enableControls();

    if (result.canceled || !result.message.isEmpty()) {
        job.abort();
        result.pages = 0;
        result.rowIds.clear();
        return result;
    }
    if (!job.finish(&result.message)) {
        result.pages = 0;
        result.rowIds.clear();
        return result;
    }
    result.ok = true;
    recordCompletedJob(target, dm, names, &result);
    return result;
}

} // namespace

Result printAll(QPrinter* printer, TDataModule1* dm, const FieldPositions& positions,
                const QFont& font, Prompt::Progress* progress)
{
    return run(printer, dm, positions, font, progress, Rows::All);
}

Result printRows(QPrinter* printer, TDataModule1* dm, const FieldPositions& positions,
                 const QFont& font, const QVector<int>& rows, Prompt::Progress* progress)
{
    return run(printer, dm, positions, font, progress, Rows::Given, rows);
}

Result printCurrent(QPrinter* printer, TDataModule1* dm, const FieldPositions& positions,
                    const QFont& font)
{
    return run(printer, dm, positions, font, nullptr, Rows::Current);
}

} // namespace BatchPrint
