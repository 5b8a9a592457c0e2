#pragma once

#include "base/exitcode.h"

#include <QStringList>

class DataModule;
struct Session;

// `waylark print` and `waylark log`.
namespace PrintCommand
{

// waylark print --pdf FILE [--model NAME] | print [--printer QUEUE] [--model NAME]
//   [--rows 1-20,25] [--unprinted]
ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session);
QString printSynopsis();
// waylark log: the print log, tab-separated, newest first, on standard output.
ExitCode::Code runLogCommand(const QStringList& args, DataModule* dm, Session& session);

} // namespace PrintCommand
