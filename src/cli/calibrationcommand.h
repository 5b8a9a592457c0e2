#pragma once

#include "base/exitcode.h"

#include <QStringList>

class DataModule;
struct Session;

// `waylark calibrate`: a printer's calibration for a template.
namespace CalibrationCommand
{

// waylark calibrate [--model NAME] [--printer QUEUE | --pdf] [--dx MM] [--dy MM]
//   [--sx PCT] [--sy PCT]: stores the values given, then prints all four.
ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session);
QString synopsis();

} // namespace CalibrationCommand
