#include "cli/printcommand.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "book/blankrecipient.h"
#include "cli/cliargs.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "data/termination.h"
#include "print/batchprint.h"
#include "print/printerkey.h"
#include "print/printerpaper.h"
#include "print/printerstore.h"
#include "print/testsheet.h"
#include "render/calibration.h"
#include "render/printfonts.h"
#include "render/printlog.h"
#include "render/printmessages.h"
#include "render/recordrenderer.h"
#include "render/rowselection.h"
#include "templates/pagesize.h"
#include "templates/templatemessages.h"
#include "templates/templatestore.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
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
    // Which rows: a range, the unprinted ones, or both (the unprinted rows of
    // the range); none given is every row.
    Dataset* att = dm->recipients;
    const bool all = !unprinted && !o.has(QStringLiteral("--rows"));
    QVector<int> rows;
    if (!all) {
        rows = RowSelection::allRows(att->recordCount());
        if (o.has(QStringLiteral("--rows"))) {
            QString error;
            rows = RowSelection::parseRange(o.value(QStringLiteral("--rows")), att->recordCount(),
                                            &error);
            if (!error.isEmpty()) {
                prompt().error(error);
                return ExitCode::Usage;
            }
        }
        if (unprinted) {
            const QVector<int> open = RowSelection::unprintedRows(att);
            QVector<int> both;
            std::set_intersection(rows.begin(), rows.end(), open.begin(), open.end(),
                                  std::back_inserter(both));
            rows = both;
        }
        if (rows.isEmpty()) {
            prompt().message(PrintMessages::nothingToPrint());
            return ExitCode::Failed;
        }
    }
    const QString modelName = o.has(QStringLiteral("--model"))
                                  ? o.value(QStringLiteral("--model"))
                                  : ConfigIni::read(session.appDir, ConfigIni::DefaultModel);
    session.currentTemplate = modelName;
    QPrinter printer(QPrinter::HighResolution);
    if (o.has(QStringLiteral("--pdf"))) {
        // Checked before anything is drawn: a job can take long to render.
        const QString why = PrintMessages::pdfTargetError(o.value(QStringLiteral("--pdf")));
        if (!why.isEmpty()) {
            prompt().error(why);
            return o.value(QStringLiteral("--pdf")).trimmed().isEmpty() ? ExitCode::Usage
                                                                        : ExitCode::Failed;
        }
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(o.value(QStringLiteral("--pdf")));
    } else {
        const QString queue = o.has(QStringLiteral("--printer"))
                                  ? o.value(QStringLiteral("--printer"))
                                  : QPrinterInfo::defaultPrinterName();
        if (!queue.isEmpty() && !QPrinterInfo::availablePrinterNames().contains(queue)) {
            prompt().message(PrintMessages::noSuchQueue(queue));
            return ExitCode::Failed;
        }
        if (!queue.isEmpty())
            printer.setPrinterName(queue);
        if (queue.isEmpty() || printer.outputFormat() != QPrinter::NativeFormat ||
            printer.printerName() != queue) {
            prompt().message(PrintMessages::printerNotReady());
            return ExitCode::Failed;
        }
    }
    if (!applyTemplatePaper(dm->templates, modelName, &printer)) {
        prompt().message(TemplateMessages::noCurrentTemplate());
        return ExitCode::Failed;
    }
    PrinterStore::usePageCorner(&printer);
    Dataset* model = dm->templates;
    if (testPage) {
        QString error;
        if (!guarded([&] {
                const Calibration calibration =
                    Calibration::load(dm->database(), modelName, printerKey(&printer));
                error =
                    TestSheet::print(&printer, dm, StoredPositions(model), session, calibration);
            }))
            return ExitCode::Failed;
        if (!error.isEmpty()) {
            prompt().error(error);
            return ExitCode::Failed;
        }
        return ExitCode::Done;
    }
    // The command goes on: the lists are warnings on standard error.
    BatchPrint::FitReport report;
    if (!guarded([&] {
            report =
                BatchPrint::fitReport(&printer, dm, StoredPositions(model), session, rows, all);
            for (const QString& list : {report.shrunk, report.notFitting}) {
                if (list.isEmpty())
                    continue;
                const QByteArray bytes = (list + QLatin1Char('\n')).toUtf8();
                std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
            }
            std::fflush(stderr);
        }))
        return ExitCode::Failed;
    BatchPrint::Result r;
    if (!guarded([&] {
            r = all ? BatchPrint::printAll(&printer, dm, StoredPositions(model), session, nullptr,
                                           report.fitted.get())
                    : BatchPrint::printRows(&printer, dm, StoredPositions(model), session, rows,
                                            nullptr, false, report.fitted.get());
        }))
        return ExitCode::Failed;
    if (!r.ok || !r.message.isEmpty()) {
        if (!r.canceled) // cancelled only by a termination signal, which says so
            prompt().error(r.message);
        return ExitCode::Failed;
    }
    if (r.skipped)
        prompt().message(skippedBlankRecipientsText(r.skipped));
    return ExitCode::Done;
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
