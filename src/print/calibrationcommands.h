#pragma once

#include "exitcode.h"

#include <QStringList>
#include <functional>

class DesignSurface;
class QPrinter;
class QWidget;
class TDataModule1;
struct Session;
class Calibration;

// The printer calibration of the windows and of the command line.
namespace CalibrationCommands
{

// "打印机校准": the dialog for the current template and printer (modal); its
// test sheet prints the live design with the values shown.
void showDialog(TDataModule1* dm, const Session& session, const DesignSurface* surface,
                const std::function<bool(QPrinter*)>& pageSetup, QWidget* parent);
// Prints the test sheet on the program's printer. Returns whether it was.
bool printTestSheet(TDataModule1* dm, const Session& session, const DesignSurface* surface,
                    const std::function<bool(QPrinter*)>& pageSetup,
                    const Calibration& calibration);

// waylark calibrate [--model NAME] [--printer QUEUE | --pdf] [--dx MM] [--dy MM]
//   [--sx PCT] [--sy PCT]: stores the values given, then prints all four.
ExitCode::Code runCommand(const QStringList& args, TDataModule1* dm, Session& session);
QString synopsis();

} // namespace CalibrationCommands
