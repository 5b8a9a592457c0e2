#include "printcommands.h"

#include "batchprint.h"
#include "calibration.h"
#include "cliargs.h"
#include "configini.h"
#include "datamodule.h"
#include "designsurface.h"
#include "guarded.h"
#include "pagesize.h"
#include "printerchoice.h"
#include "printerstore.h"
#include "printlog.h"
#include "printlogdialog.h"
#include "printmessages.h"
#include "prompt.h"
#include "recordrenderer.h"
#include "rowselection.h"
#include "session.h"
#include "surfacepositions.h"
#include "testsheet.h"
#include "templatemessages.h"
#include "termination.h"
#include "testsheet.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>

#include <QPrinter>
#include <QPrinterInfo>

namespace PrintCommands {

namespace {

// The rows a choice names, or nothing with a message for the user.
std::optional<QVector<int>> rowsOfChoice(const Prompt::RowsChoice& choice, Dataset* att,
                                         const QVector<int>& selectedRows)
{
    using Kind = Prompt::RowsChoice::Kind;
    QVector<int> rows;
    switch (choice.kind) {
    case Kind::All:
        return RowSelection::allRows(att->recordCount());
    case Kind::Selected:
        rows = selectedRows;
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        break;
    case Kind::Unprinted:
        rows = RowSelection::unprintedRows(att);
        break;
    case Kind::Range: {
        QString error;
        rows = RowSelection::parseRange(choice.range, att->recordCount(), &error);
        if (!error.isEmpty()) {
            prompt().message(error);
            return std::nullopt;
        }
        break;
    }
    }
    if (rows.isEmpty()) {
        prompt().message(PrintMessages::nothingToPrint());
        return std::nullopt;
    }
    return rows;
}

// Asks, takes the printer and prints rows (every row, and on an empty table
// the sender's page, when all is true).
void printAfterQuestion(TDataModule1* dm, const Session& session, const DesignSurface* surface,
                        const PageSetup& pageSetup, const QVector<int>& rows, bool all)
{
    QPrinter* printer = PrinterStore::printer();
    const int waybills = all ? std::max(1, dm->TB_Att->recordCount()) : rows.size();
    if (prompt().question(batchQuestion(waybills, printer), PrintMessages::batchCaption(), false,
                          Prompt::Button::Cancel) != Prompt::Button::Ok)
        return;
    if (!PrinterStore::isReady(printer)) {
        prompt().message(PrinterStore::notReadyMessage());
        return;
    }
    if (pageSetup && !pageSetup(printer))
        return;
    if (!PrinterStore::confirmOverwrite(printer))
        return;
    QString overflow;
    if (!guarded([&] {
            overflow = BatchPrint::overflowReport(printer, dm, SurfacePositions(surface), session,
                                                  rows, all);
        }))
        return;
    if (!overflow.isEmpty() && prompt().question(overflow, PrintMessages::batchCaption(), false,
                                                 Prompt::Button::Cancel) != Prompt::Button::Ok)
        return;
    const int total = waybills;
    auto progress = prompt().progress(QStringLiteral("正在打印……"), total);
    struct Labeler : Prompt::Progress {
        Prompt::Progress* inner;
        int total;
        bool setValue(int v) override
        {
            inner->setLabelText(QStringLiteral("正在打印第 %1 / %2 张").arg(v).arg(total));
            return inner->setValue(v);
        }
        bool wasCanceled() const override { return inner->wasCanceled(); }
    } labeler;
    labeler.inner = progress.get();
    labeler.total = total;
    BatchPrint::Result r;
    const bool ok = guarded([&] {
        const SurfacePositions positions(surface);
        r = all ? BatchPrint::printAll(printer, dm, positions, session, &labeler)
                : BatchPrint::printRows(printer, dm, positions, session, rows, &labeler);
    });
    progress.reset();
    if (!ok)
        return;
    if (r.canceled && !Termination::requested())
        prompt().message(QStringLiteral("打印已取消，没有任何页面送到打印机。"));
    else if (!r.ok || !r.message.isEmpty())
        prompt().error(r.message);
}

} // namespace

QString batchQuestion(int waybills, const QPrinter* printer)
{
    QString where;
    if (printer && printer->outputFormat() == QPrinter::PdfFormat)
        where = QStringLiteral("将打印 %1 张运单到文件 %2，是否继续？")
                    .arg(waybills)
                    .arg(printer->outputFileName());
    else
        where = QStringLiteral("将打印 %1 张运单到打印机 %2，是否继续？")
                    .arg(waybills)
                    .arg(printer ? printer->printerName() : QString());
    return QStringLiteral("此操作将打印表中所有记录，请确保打印机正确设置并已放置了合适的纸张，继续？.\n") +
           where;
}

void All_Prt_BtnClick(TDataModule1* dm, const Session& session, const DesignSurface* surface,
                      const PageSetup& pageSetup, const QVector<int>& selectedRows)
{
    Dataset* att = dm->TB_Att;
    Prompt::RowsOffer offer;
    offer.rowCount = att->recordCount();
    offer.selectedCount = selectedRows.size();
    offer.unprintedCount = RowSelection::unprintedRows(att).size();
    const std::optional<Prompt::RowsChoice> choice = prompt().printRows(offer);
    if (!choice)
        return;
    const bool all = choice->kind == Prompt::RowsChoice::Kind::All;
    QVector<int> rows;
    if (!all) {
        const auto chosen = rowsOfChoice(*choice, att, selectedRows);
        if (!chosen)
            return;
        rows = *chosen;
    }
    printAfterQuestion(dm, session, surface, pageSetup, rows, all);
}

void showPrintLog(TDataModule1* dm, const Session& session, const DesignSurface* surface,
                  const PageSetup& pageSetup, QWidget* parent)
{
    QList<PrintLog::Entry> entries;
    if (!guarded([&] { entries = PrintLog::newestFirst(dm->DB_main()); }))
        return;
    auto* dialog = new PrintLogDialog(entries, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &PrintLogDialog::reprintRequested, dialog,
                     [dm, &session, surface, pageSetup](const QVector<qint64>& ids) {
                         // Rows deleted since are left out; the order stays the job's.
                         Dataset* att = dm->TB_Att;
                         QHash<qint64, int> rowOf;
                         for (int row = 0; row < att->recordCount(); ++row)
                             rowOf.insert(att->rowId(row), row);
                         QVector<int> rows;
                         for (qint64 id : ids)
                             if (rowOf.contains(id))
                                 rows << rowOf.value(id);
                         if (rows.isEmpty()) {
                             prompt().message(PrintMessages::nothingToPrint());
                             return;
                         }
                         printAfterQuestion(dm, session, surface, pageSetup, rows, false);
                     });
    dialog->open();
}

void Font_Set_BtnClick(Session& session)
{
    // The dialog opens at the font printing uses, so OK alone changes nothing.
    const auto font = prompt().font(session.printFont());
    if (!font)
        return;
    session.chosenPrintFont = *font;
    // Then the colour of the printed text; cancelling it keeps the colour.
    if (const auto colour = prompt().colour(session.printColour(), QStringLiteral("字体颜色")))
        session.chosenPrintColour = *colour;
}

void Printer_Set_BtnClick(const Session& session)
{
    // The choice is the current template's from now on, also after a restart.
    if (prompt().printerSetup(PrinterStore::printer()))
        PrinterChoice::remember(session.appDir, session.currentModel, PrinterStore::printer());
}

QString printSynopsis()
{
    return QStringLiteral("print --pdf FILE [--model NAME] [--rows 1-20,25] [--unprinted]\n"
                          "                                                recipient rows, one "
                          "page each, into a PDF file\n"
                          "  waylark print [--printer QUEUE] [--model NAME] [--rows …] [--unprinted]\n"
                          "                                                the same through a "
                          "CUPS queue (default: the default queue)\n"
                          "  waylark print --test-page (--pdf FILE | --printer QUEUE) [--model NAME]\n"
                          "                                                one test sheet: picture, "
                          "rulers, every field at its calibrated place");
}

ExitCode::Code runCommand(const QStringList& givenArgs, TDataModule1* dm, Session& session)
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
    Dataset* att = dm->TB_Att;
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
    session.currentModel = modelName;
    QPrinter printer(QPrinter::HighResolution);
    if (o.has(QStringLiteral("--pdf"))) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(o.value(QStringLiteral("--pdf")));
    } else {
        const QString queue = o.has(QStringLiteral("--printer"))
                                  ? o.value(QStringLiteral("--printer"))
                                  : QPrinterInfo::defaultPrinterName();
        if (!queue.isEmpty())
            printer.setPrinterName(queue);
        if (queue.isEmpty() || printer.outputFormat() != QPrinter::NativeFormat ||
            printer.printerName() != queue) {
            prompt().message(PrintMessages::printerNotReady());
            return ExitCode::Failed;
        }
    }
    if (!Page_Setup(dm->TB_Model, modelName, &printer)) {
        prompt().message(TemplateMessages::noCurrentTemplate());
        return ExitCode::Failed;
    }
    PrinterStore::usePageCorner(&printer);
    Dataset* model = dm->TB_Model;
    if (testPage) {
        QString error;
        if (!guarded([&] {
                const Calibration calibration = Calibration::load(
                    dm->DB_main(), modelName, Calibration::printerKey(&printer));
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
    // The command goes on: the list is a warning on standard error.
    if (!guarded([&] {
            const QString overflow = BatchPrint::overflowReport(
                &printer, dm, StoredPositions(model), session, rows, all);
            if (!overflow.isEmpty()) {
                const QByteArray bytes = (overflow + QLatin1Char('\n')).toUtf8();
                std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
                std::fflush(stderr);
            }
        }))
        return ExitCode::Failed;
    BatchPrint::Result r;
    if (!guarded([&] {
            r = all ? BatchPrint::printAll(&printer, dm, StoredPositions(model), session)
                    : BatchPrint::printRows(&printer, dm, StoredPositions(model), session, rows);
        }))
        return ExitCode::Failed;
    if (!r.ok || !r.message.isEmpty()) {
        if (!r.canceled) // cancelled only by a termination signal, which says so
            prompt().error(r.message);
        return ExitCode::Failed;
    }
    return ExitCode::Done;
}

ExitCode::Code runLogCommand(const QStringList& args, TDataModule1* dm, Session&)
{
    if (!args.isEmpty()) {
        prompt().error(CliArgs::usageLine(QStringLiteral("log")));
        return ExitCode::Usage;
    }
    QString text;
    if (!guarded([&] { text = PrintLog::toTabSeparated(PrintLog::newestFirst(dm->DB_main())); }))
        return ExitCode::Failed;
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
    return ExitCode::Done;
}

} // namespace PrintCommands
