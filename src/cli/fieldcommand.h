#pragma once

#include "base/exitcode.h"

#include <QStringList>

class DataModule;
struct Session;

// How and where one field of a template prints, for scripts.
namespace FieldCommand
{

// waylark field --model NAME --key KEY [--kind text|code128|qr] [--x MM --y MM]
//   [--width MM] [--module MM] [--height MM] [--show | --hide]: stores what is
// given, then prints the field's settings.
ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session);
QString synopsis();

} // namespace FieldCommand
