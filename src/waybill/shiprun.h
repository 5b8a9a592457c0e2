#pragma once

#include "base/exitcode.h"
#include "shop/gatewayfetcher.h"
#include "shop/shipback.h"

#include <QString>
#include <QStringList>

class DataModule;
struct Session;

// Sending the waybill numbers of printed orders back to the shop: "回传运单号"
// of the recipient tab and `waylark ship`. The carrier's code on the
// platform is the one of the template's carrier.
namespace ShipCommands
{

struct ShipOptions {
    int timeoutMs = GatewayFetcher::DefaultTimeoutMs;
    Clock clock = systemClock;
};

struct ShipRun {
    bool refused = false;      // said why; nothing was sent
    QList<ShipResult> results; // one per order due, in the order sent
};

// Sends every order due (dueOrders) under a progress box with a cancel
// button, within the limits of config.ini, with the company code of
// template MODEL's carrier. A shop whose parameters are incomplete, a
// template without a carrier the platform knows and a table with nothing
// due are told through prompt() and send nothing.
ShipRun shipDue(DataModule* dm, const Session& session, const QString& model,
                const ShipOptions& options = {});

// "回传运单号": shipDue with the current template; tells how many were sent
// and lists the failures with their reasons, offering to send those again.
void shipWaybills(DataModule* dm, const Session& session, const ShipOptions& options = {});

// waylark ship [--model NAME]: one line per order due, "order number TAB
// waybill number TAB company code TAB result"; 0 when every order went
// back (or none was due), 1 when any failed or the run was refused.
ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session);
ExitCode::Code runShip(const QStringList& args, DataModule* dm, const Session& session,
                       const ShipOptions& options);

QString shipSynopsis();

} // namespace ShipCommands
