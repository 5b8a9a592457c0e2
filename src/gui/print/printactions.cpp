#include "gui/print/printactions.h"

#include "address/addressparser.h"
#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "book/addresscheck.h"
#include "book/blankrecipient.h"
#include "data/datamodule.h"
#include "data/rowclaims.h"
#include "data/termination.h"
#include "gui/print/calibrationdialog.h"
#include "gui/print/printlogdialog.h"
#include "gui/templates/designsurface.h"
#include "print/batchprint.h"
#include "print/printerchoice.h"
#include "print/printerkey.h"
#include "print/printerstore.h"
#include "print/testsheet.h"
#include "render/calibration.h"
#include "render/printfonts.h"
#include "render/printlog.h"
#include "render/printmessages.h"
#include "render/printprompt.h"
#include "render/rowselection.h"
#include "templates/fieldfontstore.h"
#include "templates/templaterows.h"
#include "templates/templatestore.h"

#include <QHash>
#include <QPrinter>
#include <algorithm>
#include <memory>
#include <optional>

namespace PrintActions
{

namespace
{

// The batch question: what is printed, then how many waybills go where.
// `what` starts with its verb ("打印选中的 2 行"); empty is the whole table,
// asked in the design's words.
QString batchQuestion(const QString& what, int waybills, const QPrinter* printer)
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
    if (what.isEmpty())
        return QStringLiteral("此操作将打印表中所有记录，请确保打印机正确设置并已放置了合适的纸张，"
                              "继续？.\n") +
               where;
    return QStringLiteral("此操作将%1，请确保打印机正确设置并已放置了合适的纸张。\n").arg(what) +
           where;
}

// The rows a choice names, or nothing with a message for the user.
std::optional<QVector<int>> rowsOfChoice(const PrintPrompt::RowsChoice& choice, Dataset* att,
                                         const QVector<int>& selectedRows)
{
    using Kind = PrintPrompt::RowsChoice::Kind;
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

// What a choice prints, for the question (empty for the whole table).
QString whatOfChoice(const PrintPrompt::RowsChoice& choice, int rows)
{
    using Kind = PrintPrompt::RowsChoice::Kind;
    switch (choice.kind) {
    case Kind::All:
        break;
    case Kind::Selected:
        return QStringLiteral("打印选中的 %1 行").arg(rows);
    case Kind::Unprinted:
        return QStringLiteral("打印未打印的 %1 行").arg(rows);
    case Kind::Range:
        return QStringLiteral("打印第 %1 行（共 %2 行）").arg(choice.range.trimmed()).arg(rows);
    }
    return QString();
}

// "以下收件人的地址需要核对：" and a line for each row that does, or empty.
// Without readable region tables only the numbers are checked: printing
// should not hang on them.
QString addressCheckList(DataModule* dm, const QVector<int>& rows, bool all)
{
    Dataset* att = dm->recipients;
    const std::unique_ptr<AddressParser> parser =
        AddressParser::fromDatabase(dm->database(), nullptr);
    const int nameField = att->fieldIndex(QStringLiteral("Name"));
    QStringList lines;
    for (int row : all ? RowSelection::allRows(att->recordCount()) : rows) {
        const QStringList reasons = addressCheckReasons(parser.get(), att, row);
        if (reasons.isEmpty())
            continue;
        QString head = QStringLiteral("第 %1 行").arg(row + 1);
        const QString name = nameField >= 0 ? att->cellText(row, nameField).trimmed() : QString();
        if (!name.isEmpty())
            head += QLatin1Char(' ') + name;
        lines << head + QStringLiteral("：") + reasons.join(QStringLiteral("，"));
    }
    if (lines.isEmpty())
        return QString();
    return QStringLiteral("以下收件人的地址需要核对：\n") + lines.join(QLatin1Char('\n'));
}

// How a job takes its rows: as given, or on a server through a claim a
// batch at a time (all rows, or those not yet printed).
enum class Taking { AsGiven, ClaimAll, ClaimUnprinted };

// Asks, takes the printer and prints rows (every row, and on an empty table
// the sender's page, when all is true); `what` says which for the question.
// A reprint is logged as one.
void printAfterQuestion(DataModule* dm, const Session& session, const DesignSurface* surface,
                        const PageSetup& pageSetup, const QVector<int>& rows, bool all,
                        const QString& what, bool reprint = false, Taking taking = Taking::AsGiven)
{
    QPrinter* printer = PrinterStore::printer();
    // Rows with neither name nor address print no page, so they are not counted.
    Dataset* att = dm->recipients;
    int blank = 0;
    for (int row : all ? RowSelection::allRows(att->recordCount()) : rows)
        blank += isBlankRecipient(att, row) ? 1 : 0;
    const int candidates = all ? att->recordCount() : int(rows.size());
    const int waybills = all && candidates == 0 ? 1 : candidates - blank;
    if (waybills <= 0) {
        prompt().message(PrintMessages::nothingToPrint() + QLatin1Char('\n') +
                         skippedBlankRecipientsText(blank));
        return;
    }
    if (prompt().question(batchQuestion(all ? QString() : what, waybills, printer),
                          PrintMessages::batchCaption(), false,
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
    BatchPrint::FitReport fit;
    if (!guarded([&] {
            fit = BatchPrint::fitReport(printer, dm, surface->layout(), session, rows, all);
        }))
        return;
    // Text that would be lost is the user's decision; text that only shrank
    // is said once the job is done.
    if (!fit.notFitting.isEmpty() &&
        prompt().question(fit.notFitting, PrintMessages::batchCaption(), false,
                          Prompt::Button::Cancel) != Prompt::Button::Ok)
        return;
    QString toCheck;
    if (!guarded([&] { toCheck = addressCheckList(dm, rows, all); }))
        return;
    if (!toCheck.isEmpty() && prompt().question(toCheck, PrintMessages::batchCaption(), false,
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
    // On a server the rows are claimed a batch at a time, so that stations
    // printing at once share them; the claim's keeper sees every page.
    std::unique_ptr<RowClaims::Batches> batches;
    if (taking != Taking::AsGiven && att->recordCount() > 0)
        batches = std::make_unique<RowClaims::Batches>(
            dm->database(), att, all ? RowSelection::allRows(att->recordCount()) : rows,
            RowClaims::claimant(session.appDir), RowClaims::leaseSeconds(session.appDir),
            RowClaims::claimRowsAtOnce(session.appDir), taking == Taking::ClaimUnprinted, &labeler);
    BatchPrint::Result r;
    const bool ok = guarded([&] {
        const TemplateLayout& positions = surface->layout();
        if (batches)
            r = BatchPrint::printBatches(
                printer, dm, positions, session, [&] { return batches->next(); }, batches->keeper(),
                fit.fitted.get());
        else if (all)
            r = BatchPrint::printAll(printer, dm, positions, session, &labeler, fit.fitted.get());
        else
            r = BatchPrint::printRows(printer, dm, positions, session, rows, &labeler, reprint,
                                      fit.fitted.get());
    });
    progress.reset();
    if (!ok)
        return;
    if (batches && !batches->keeper()->lostReason().isEmpty())
        prompt().error(batches->keeper()->lostReason());
    else if (r.canceled && !Termination::requested())
        prompt().message(QStringLiteral("打印已取消，没有任何页面送到打印机。"));
    else if (!r.ok || !r.message.isEmpty())
        prompt().error(r.message);
    else if (r.skipped || !fit.shrunk.isEmpty() || (batches && r.pages < waybills)) {
        QStringList notes;
        if (batches && r.pages < waybills)
            notes << PrintMessages::rowsLeftToOthers(waybills - r.pages);
        if (r.skipped)
            notes << skippedBlankRecipientsText(r.skipped);
        if (!fit.shrunk.isEmpty())
            notes << fit.shrunk;
        prompt().message(notes.join(QStringLiteral("\n\n")));
    }
}

} // namespace

void printBatch(DataModule* dm, const Session& session, const DesignSurface* surface,
                const PageSetup& pageSetup, const QVector<int>& selectedRows, bool unprintedShown)
{
    Dataset* att = dm->recipients;
    PrintPrompt::RowsOffer offer;
    offer.rowCount = att->recordCount();
    offer.selectedCount = selectedRows.size();
    offer.unprintedCount = RowSelection::unprintedRows(att).size();
    // The rows the user is looking at.
    if (offer.selectedCount > 0)
        offer.initial = PrintPrompt::RowsChoice::Kind::Selected;
    else if (unprintedShown)
        offer.initial = PrintPrompt::RowsChoice::Kind::Unprinted;
    const std::optional<PrintPrompt::RowsChoice> choice = printPrompt().printRows(offer);
    if (!choice)
        return;
    const bool all = choice->kind == PrintPrompt::RowsChoice::Kind::All;
    QVector<int> rows;
    if (!all) {
        const auto chosen = rowsOfChoice(*choice, att, selectedRows);
        if (!chosen)
            return;
        rows = *chosen;
    }
    if (dm->onServer() && (choice->kind == PrintPrompt::RowsChoice::Kind::Selected ||
                           choice->kind == PrintPrompt::RowsChoice::Kind::Range)) {
        const auto kept = askAboutTakenRows(dm, session, rows);
        if (!kept)
            return;
        rows = *kept;
    }
    Taking taking = Taking::AsGiven;
    if (dm->onServer() && all)
        taking = Taking::ClaimAll;
    else if (dm->onServer() && choice->kind == PrintPrompt::RowsChoice::Kind::Unprinted)
        taking = Taking::ClaimUnprinted;
    printAfterQuestion(dm, session, surface, pageSetup, rows, all,
                       whatOfChoice(*choice, int(rows.size())), false, taking);
}

std::optional<QVector<int>> askAboutTakenRows(DataModule* dm, const Session& session,
                                              const QVector<int>& rows)
{
    if (!dm->onServer())
        return rows;
    Dataset* att = dm->recipients;
    RowClaims::TakenElsewhere taken;
    if (!guarded([&] {
            taken = RowClaims::takenElsewhere(dm->database(), RowClaims::claimant(session.appDir),
                                              att->rowIds(rows));
        }))
        return std::nullopt;
    if (taken.isEmpty())
        return rows;
    const QString what =
        PrintMessages::takenElsewhere(taken.claimed.size(), taken.stations(), taken.printed.size());
    if (prompt().question(PrintMessages::printTakenRowsQuestion(what),
                          PrintMessages::batchCaption(), true,
                          Prompt::Button::No) == Prompt::Button::Yes)
        return rows;
    QVector<int> kept;
    for (int row : rows)
        if (!taken.contains(att->rowId(row)))
            kept << row;
    if (kept.isEmpty()) {
        prompt().message(PrintMessages::nothingToPrint());
        return std::nullopt;
    }
    return kept;
}

void showPrintLog(DataModule* dm, const Session& session, const DesignSurface* surface,
                  const PageSetup& pageSetup, QWidget* parent)
{
    QList<PrintLog::Entry> entries;
    if (!guarded([&] { entries = PrintLog::newestFirst(dm->database()); }))
        return;
    auto* dialog = new PrintLogDialog(entries, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &PrintLogDialog::reprintRequested, dialog,
                     [dm, &session, surface, pageSetup](const QVector<qint64>& ids) {
                         // Rows deleted since are left out; the order stays the job's.
                         Dataset* att = dm->recipients;
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
                         printAfterQuestion(
                             dm, session, surface, pageSetup, rows, false,
                             QStringLiteral("重新打印所选打印记录中的 %1 行").arg(rows.size()),
                             true);
                     });
    dialog->open();
}

bool printTestSheet(DataModule* dm, const Session& session, const DesignSurface* surface,
                    const std::function<bool(QPrinter*)>& pageSetup, const Calibration& calibration)
{
    QPrinter* printer = PrinterStore::printer();
    if (!PrinterStore::isReady(printer)) {
        prompt().message(PrintMessages::printerNotReady());
        return false;
    }
    if (pageSetup && !pageSetup(printer))
        return false;
    if (!PrinterStore::confirmOverwrite(printer))
        return false;
    QString error;
    if (!guarded([&] {
            error = TestSheet::print(printer, dm, surface->layout(), session, calibration);
        }))
        return false;
    if (!error.isEmpty()) {
        prompt().error(error);
        return false;
    }
    return true;
}

void showCalibration(DataModule* dm, const Session& session, const DesignSurface* surface,
                     const std::function<bool(QPrinter*)>& pageSetup, QWidget* parent)
{
    CalibrationDialog dialog(dm->database(), session.currentTemplate,
                             printerKey(PrinterStore::printer()), parent);
    dialog.setTestSheetPrinter([=, &session](const Calibration& c) {
        printTestSheet(dm, session, surface, pageSetup, c);
    });
    dialog.exec();
}

void choosePrintFont(Session& session, DataModule* dm)
{
    // The dialog opens at the font printing uses, so OK alone changes nothing.
    QFont initial = session.printFont();
    if (dm)
        guarded([&] { initial = PrintFonts::load(dm->database(), session).print; });
    const auto font = prompt().font(initial);
    if (!font)
        return;
    session.chosenPrintFont = *font;
    // The template in use keeps it; templates without their own follow the
    // session's.
    if (dm && dm->templates->isActive() &&
        TemplateStore::modelNames(dm->templates).contains(session.currentTemplate))
        guarded([&] { TemplateRows(dm->templates).setPrintFont(session.currentTemplate, *font); });
    // Then the colour of the printed text; cancelling it keeps the colour.
    if (const auto colour = prompt().colour(session.printColour(), QStringLiteral("字体颜色")))
        session.chosenPrintColour = *colour;
}

void choosePrinter(const Session& session)
{
    // The choice is the current template's from now on, also after a restart.
    if (printPrompt().printerSetup(PrinterStore::printer()))
        PrinterChoice::remember(session.appDir, session.currentTemplate, PrinterStore::printer());
}

} // namespace PrintActions
