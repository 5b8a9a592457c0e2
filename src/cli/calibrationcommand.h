#pragma once

#include "base/exitcode.h"

#include <QStringList>
#include <functional>

class DesignSurface;
class QPrinter;
class QWidget;
class DataModule;
struct Session;
class Calibration;

// The printer calibration of the windows and of the command line.
namespace CalibrationCommands
{

// waylark calibrate [--model NAME] [--printer QUEUE | --pdf] [--dx MM] [--dy MM]
//   [--sx PCT] [--sy PCT]: stores the values given, then prints all four.
ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session);
QString synopsis();

} // namespace CalibrationCommands
