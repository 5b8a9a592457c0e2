#include "cli/printcommand.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "book/blankrecipient.h"
#include "cli/cliargs.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "data/rowclaims.h"
#include "data/termination.h"
#include "print/batchprint.h"
#include "print/printerkey.h"
#include "print/printerpaper.h"
#include "print/printerstore.h"
#include "print/testsheet.h"
#include "render/calibration.h"
#include "render/fitmemo.h"
#include "render/printfonts.h"
#include "render/printlog.h"
#include "render/printmessages.h"
#include "render/recordrenderer.h"
#include "render/rowselection.h"
#include "templates/pagesize.h"
#include "templates/templatemessages.h"
#include "templates/templaterows.h"
#include "templates/templatestore.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <optional>

#include <QPrinter>
#include <QPrinterInfo>

namespace PrintCommand
{

QString printSynopsis()
{
    return QStringLiteral(
        "print --pdf FILE [--model NAME] [--rows 1-20,25] [--unprinted]\n"
        "                                                recipient rows, one "
        "page each, into a PDF file\n"
        "  waylark print [--printer QUEUE] [--model NAME] [--rows …] [--unprinted]\n"
        "                                                the same through a "
        "CUPS queue (default: the default queue)\n"
        "  waylark print --test-page (--pdf FILE | --printer QUEUE) [--model NAME]\n"
        "                                                one test sheet: picture, "
        "rulers, every field at its calibrated place");
}

namespace
{

// The rows asked for: all of them, a range, the unprinted ones, or both
// (the unprinted rows of the range); `refused` says why none are printed.
struct RowsAsked {
    bool all = true;
    QVector<int> rows;
    std::optional<ExitCode::Code> refused;
};

RowsAsked rowsAsked(const CliArgs::Options& o, bool unprinted, Dataset* att)
{
    RowsAsked asked;
    asked.all = !unprinted && !o.has(QStringLiteral("--rows"));
    if (asked.all)
        return asked;
    asked.rows = RowSelection::allRows(att->recordCount());
    if (o.has(QStringLiteral("--rows"))) {
        QString error;
        asked.rows =
            RowSelection::parseRange(o.value(QStringLiteral("--rows")), att->recordCount(), &error);
        if (!error.isEmpty()) {
            prompt().error(error);
            asked.refused = ExitCode::Usage;
            return asked;
        }
    }
    if (unprinted) {
        const QVector<int> open = RowSelection::unprintedRows(att);
        QVector<int> both;
        std::set_intersection(asked.rows.begin(), asked.rows.end(), open.begin(), open.end(),
                              std::back_inserter(both));
        asked.rows = both;
    }
    if (asked.rows.isEmpty()) {
        prompt().message(PrintMessages::nothingToPrint());
        asked.refused = ExitCode::Failed;
    }
    return asked;
}

// Stations sharing a server: rows asked for by number that another
// station is printing or that are printed already are left out, with a
// note saying how many and why.
std::optional<ExitCode::Code> leaveOutTakenRows(DataModule* dm, const Session& session,
                                                RowsAsked& asked)
{
    Dataset* att = dm->recipients;
    RowClaims::TakenElsewhere taken;
    if (!guarded([&] {
            taken = RowClaims::takenElsewhere(dm->database(), RowClaims::claimant(session.appDir),
                                              att->rowIds(asked.rows));
        }))
        return ExitCode::Failed;
    if (taken.isEmpty())
        return std::nullopt;
    prompt().message(PrintMessages::takenRowsLeftOut(PrintMessages::takenElsewhere(
        taken.claimed.size(), taken.stations(), taken.printed.size())));
    asked.rows.erase(std::remove_if(asked.rows.begin(), asked.rows.end(),
                                    [&](int row) { return taken.contains(att->rowId(row)); }),
                     asked.rows.end());
    if (asked.rows.isEmpty()) {
        prompt().message(PrintMessages::nothingToPrint());
        return ExitCode::Failed;
    }
    return std::nullopt;
}

// Points the printer at the PDF file or the queue asked for (the default
// queue when none is); the exit code of the refusal when it cannot.
std::optional<ExitCode::Code> aimPrinter(const CliArgs::Options& o, QPrinter* printer)
{
    if (o.has(QStringLiteral("--pdf"))) {
        // Checked before anything is drawn: a job can take long to render.
        const QString file = o.value(QStringLiteral("--pdf"));
        const QString why = PrintMessages::pdfTargetError(file);
        if (!why.isEmpty()) {
            prompt().error(why);
            return file.trimmed().isEmpty() ? ExitCode::Usage : ExitCode::Failed;
        }
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(file);
        return std::nullopt;
    }
    const QString queue = o.has(QStringLiteral("--printer")) ? o.value(QStringLiteral("--printer"))
                                                             : QPrinterInfo::defaultPrinterName();
    if (!queue.isEmpty() && !QPrinterInfo::availablePrinterNames().contains(queue)) {
        prompt().message(PrintMessages::noSuchQueue(queue));
        return ExitCode::Failed;
    }
    if (!queue.isEmpty())
        printer->setPrinterName(queue);
    if (queue.isEmpty() || printer->outputFormat() != QPrinter::NativeFormat ||
        printer->printerName() != queue) {
        prompt().message(PrintMessages::printerNotReady());
        return ExitCode::Failed;
    }
    return std::nullopt;
}

ExitCode::Code printTestPage(QPrinter* printer, DataModule* dm, Session& session,
                             const QString& modelName)
{
    QString error;
    if (!guarded([&] {
            const Calibration calibration =
                Calibration::load(dm->database(), modelName, printerKey(printer));
            error = TestSheet::print(printer, dm, TemplateRows(dm->templates).loadCurrent(),
                                     session, calibration);
        }))
        return ExitCode::Failed;
    if (!error.isEmpty()) {
        prompt().error(error);
        return ExitCode::Failed;
    }
    return ExitCode::Done;
}

// The lists of shrunk and not fitting rows; the command goes on, so they
// are warnings on standard error.
void warnOfMisfits(const BatchPrint::FitReport& report)
{
    for (const QString& list : {report.shrunk, report.notFitting}) {
        if (list.isEmpty())
            continue;
        const QByteArray bytes = (list + QLatin1Char('\n')).toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    }
    std::fflush(stderr);
}

// Stations sharing a server: all or the unprinted rows are taken through a
// claim, a batch at a time, so that stations printing at once share them
// and one started later still finds rows. Each batch is looked over as it
// comes.
BatchPrint::Result printClaimed(QPrinter* printer, DataModule* dm, const Session& session,
                                const TemplateLayout& layout, RowClaims::Batches* batches)
{
    const auto memo = std::make_shared<FitMemo>();
    const Calibration calibration =
        Calibration::load(dm->database(), session.currentTemplate, printerKey(printer));
    const BatchPrint::NextRows next = [&] {
        const QVector<int> rows = batches->next();
        warnOfMisfits(
            BatchPrint::fitReport(printer, dm, layout, session, rows, false, memo, &calibration));
        return rows;
    };
    return BatchPrint::printBatches(printer, dm, layout, session, next, batches->keeper(),
                                    memo.get());
}

ExitCode::Code printRows(QPrinter* printer, DataModule* dm, Session& session,
                         const RowsAsked& asked, bool claimed, bool unprinted)
{
    TemplateLayout layout;
    BatchPrint::FitReport report;
    if (!guarded([&] {
            layout = TemplateRows(dm->templates).loadCurrent();
            if (claimed)
                return;
            report = BatchPrint::fitReport(printer, dm, layout, session, asked.rows, asked.all);
            warnOfMisfits(report);
        }))
        return ExitCode::Failed;
    BatchPrint::Result r;
    std::unique_ptr<RowClaims::Batches> batches;
    RowClaims::Keeper* claim = nullptr;
    if (claimed) {
        batches = std::make_unique<RowClaims::Batches>(
            dm->database(), dm->recipients, asked.rows, RowClaims::claimant(session.appDir),
            RowClaims::leaseSeconds(session.appDir), RowClaims::claimRowsAtOnce(session.appDir),
            unprinted);
        claim = batches->keeper();
    }
    if (!guarded([&] {
            if (claimed)
                r = printClaimed(printer, dm, session, layout, batches.get());
            else
                r = asked.all ? BatchPrint::printAll(printer, dm, layout, session, nullptr,
                                                     report.fitted.get())
                              : BatchPrint::printRows(printer, dm, layout, session, asked.rows,
                                                      nullptr, false, report.fitted.get());
        }))
        return ExitCode::Failed;
    if (!r.ok || !r.message.isEmpty()) {
        if (claim && !claim->lostReason().isEmpty())
            prompt().error(claim->lostReason());
        else if (!r.canceled) // else cancelled only by a termination signal, which says so
            prompt().error(r.message);
        return ExitCode::Failed;
    }
    if (r.skipped)
        prompt().message(skippedBlankRecipientsText(r.skipped));
    if (claimed && r.pages + r.skipped < asked.rows.size())
        prompt().message(PrintMessages::rowsLeftToOthers(asked.rows.size() - r.pages - r.skipped));
    return ExitCode::Done;
}

} // namespace

ExitCode::Code runCommand(const QStringList& givenArgs, DataModule* dm, Session& session)
{
    QStringList args = givenArgs;
    const bool unprinted = args.removeAll(QStringLiteral("--unprinted")) > 0;
    const bool testPage = args.removeAll(QStringLiteral("--test-page")) > 0;
    const CliArgs::Options o =
        CliArgs::parse(args, {QStringLiteral("--pdf"), QStringLiteral("--printer"),
                              QStringLiteral("--model"), QStringLiteral("--rows")});
    if (!o.error.isEmpty() || !o.positional.isEmpty() ||
        (o.has(QStringLiteral("--pdf")) && o.has(QStringLiteral("--printer"))) ||
        (testPage && (unprinted || o.has(QStringLiteral("--rows"))))) {
        prompt().error(o.error.isEmpty() ? CliArgs::usageLine(printSynopsis()) : o.error);
        return ExitCode::Usage;
    }
    RowsAsked asked = rowsAsked(o, unprinted, dm->recipients);
    if (asked.refused)
        return *asked.refused;
    if (dm->onServer() && !unprinted && !asked.all && !testPage)
        if (const std::optional<ExitCode::Code> refused = leaveOutTakenRows(dm, session, asked))
            return *refused;
    const QString modelName = o.has(QStringLiteral("--model"))
                                  ? o.value(QStringLiteral("--model"))
                                  : ConfigIni::read(session.appDir, ConfigIni::DefaultModel);
    session.currentTemplate = modelName;
    QPrinter printer(QPrinter::HighResolution);
    if (const std::optional<ExitCode::Code> refused = aimPrinter(o, &printer))
        return *refused;
    if (!applyTemplatePaper(dm->templates, modelName, &printer)) {
        prompt().message(TemplateMessages::noCurrentTemplate());
        return ExitCode::Failed;
    }
    PrinterStore::usePageCorner(&printer);
    if (testPage)
        return printTestPage(&printer, dm, session, modelName);
    // On a server all rows are shared out like the unprinted ones, as the
    // window's batch does; an empty table still prints the sender's page.
    const bool claimed =
        dm->onServer() && (unprinted || (asked.all && dm->recipients->recordCount() > 0));
    if (claimed && asked.all)
        asked.rows = RowSelection::allRows(dm->recipients->recordCount());
    return printRows(&printer, dm, session, asked, claimed, unprinted);
}

ExitCode::Code runLogCommand(const QStringList& args, DataModule* dm, Session&)
{
    if (!args.isEmpty()) {
        prompt().error(CliArgs::usageLine(QStringLiteral("log")));
        return ExitCode::Usage;
    }
    QString text;
    if (!guarded([&] { text = PrintLog::toTabSeparated(PrintLog::newestFirst(dm->database())); }))
        return ExitCode::Failed;
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
    return ExitCode::Done;
}

} // namespace PrintCommand
