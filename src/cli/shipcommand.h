#pragma once

#include "base/exitcode.h"
#include "waybill/shiprun.h"

#include <QString>
#include <QStringList>

class DataModule;
struct Session;

// `waylark ship`: the waybill numbers of printed orders back to the shop.
namespace ShipCommand
{

// waylark ship [--model NAME]: one line per order due, "order number TAB
// waybill number TAB company code TAB result"; 0 when every order went
// back (or none was due), 1 when any failed or the run was refused.
ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session);
ExitCode::Code runShip(const QStringList& args, DataModule* dm, const Session& session,
                       const ShipOptions& options);

QString shipSynopsis();

} // namespace ShipCommand
