#pragma once

#include <QVector>
#include <functional>
#include <optional>

class Calibration;
class DesignSurface;
class QPrinter;
class QWidget;
class DataModule;
struct Session;

// What the windows do with the printer: the batch print with its choice of
// rows, the print log's reprint, the calibration dialog and its test sheet,
// the print font and the printer. The fields are placed where the design
// surface shows them.
namespace PrintActions
{

using PageSetup = std::function<bool(QPrinter*)>;

// "批量打印": the rows the user picks (all, the selected ones, those not yet
// printed, a range), one page each, after a question naming the printer.
// selectedRows: the grid's selected rows, 0-based; unprintedShown: the grid
// shows only rows not yet printed. The choice starts on what the grid shows.
void printBatch(DataModule* dm, const Session& session, const DesignSurface* surface,
                const PageSetup& pageSetup, const QVector<int>& selectedRows = {},
                bool unprintedShown = false);
// On a server several stations share: of rows (0-based) to print, those
// another station is printing or that are printed already are printed too
// only when the user says so. The rows to print, in their order; nothing
// when none is left (the user told) or the server could not be asked.
std::optional<QVector<int>> askAboutTakenRows(DataModule* dm, const Session& session,
                                              const QVector<int>& rows);
// "打印记录": shows the print log (window-modal, not blocking); a job chosen
// there is printed again, those of its rows that still exist, after the
// batch question. The session must outlive the dialog.
void showPrintLog(DataModule* dm, const Session& session, const DesignSurface* surface,
                  const PageSetup& pageSetup, QWidget* parent);
// "打印机校准": the dialog for the current template and printer (modal); its
// test sheet prints the live design with the values shown.
void showCalibration(DataModule* dm, const Session& session, const DesignSurface* surface,
                     const PageSetup& pageSetup, QWidget* parent);
// Prints the test sheet on the program's printer, asking before it replaces
// a PDF file. Returns whether it was printed.
bool printTestSheet(DataModule* dm, const Session& session, const DesignSurface* surface,
                    const PageSetup& pageSetup, const Calibration& calibration);

// "字体设置": a cancelled dialog keeps the earlier font. The dialog opens at
// the font the template in use prints in; the font chosen is the session's
// and, with a data module, kept with the template in use.
void choosePrintFont(Session& session, DataModule* dm = nullptr);
// "打印机设置"
void choosePrinter(const Session& session);

} // namespace PrintActions
