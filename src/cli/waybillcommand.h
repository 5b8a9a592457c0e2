#pragma once

#include "base/exitcode.h"

#include <QString>
#include <QStringList>

class DataModule;
struct Session;

// The waybill number command of the recipient tab, and `waylark number`.
// Both faces share numberRecipients.
namespace WaybillCommand
{

// waylark number --model NAME --start NUMBER [--step N] [--prefix TEXT] [--suffix TEXT]
// As the dialog with that template chosen (letter case ignored, as the
// dialog selects the current one), that start number and increment (1 when
// not given), and the check box ticked when a prefix or suffix is given.
// Without --model or --start: wrong usage.
ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session);

// waylark carrier --model NAME [--code CODE]
// Prints the template's carrier as "CODE<tab>name" on standard output, after
// setting it when --code is given. An unknown code is wrong usage (2); an
// unknown template is refused (1).
ExitCode::Code runCarrierCommand(const QStringList& args, DataModule* dm, Session& session);

QString carrierUsage();
QString carrierSynopsis();

// "number --model NAME --start NUMBER …", as the usage message gives it.
QString numberUsage();
// The same with a line that says what it does, for --help.
QString numberSynopsis();

} // namespace WaybillCommand
