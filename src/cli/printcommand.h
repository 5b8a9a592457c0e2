#pragma once

#include "base/exitcode.h"

#include <QStringList>
#include <QVector>

class DesignSurface;
class QPrinter;
class QWidget;
class DataModule;
struct Session;

// The print commands of the main window, and the print command line.
namespace PrintCommands
{

// "字体设置": a cancelled dialog keeps the earlier font. The dialog opens at
// the font the template in use prints in; the font chosen is the session's
// and, with a data module, kept with the template in use.
void choosePrintFont(Session& session, DataModule* dm = nullptr);
// "打印机设置"
void choosePrinter(const Session& session);

// waylark print --pdf FILE [--model NAME] | print [--printer QUEUE] [--model NAME]
//   [--rows 1-20,25] [--unprinted]
ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session);
QString printSynopsis();
// waylark log: the print log, tab-separated, newest first, on standard output.
ExitCode::Code runLogCommand(const QStringList& args, DataModule* dm, Session& session);

// The batch question: what is printed, then how many waybills go where.
// `what` starts with its verb ("打印选中的 2 行"); empty is the whole table,
// asked in the design's words.
QString batchQuestion(const QString& what, int waybills, const QPrinter* printer);

} // namespace PrintCommands
