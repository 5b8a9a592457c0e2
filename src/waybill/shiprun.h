#pragma once

#include "shop/gatewayfetcher.h"
#include "shop/shipback.h"

#include <QString>

class DataModule;
struct Session;

// Sending the waybill numbers of printed orders back to the shop: "回传运单号"
// of the recipient tab and `waylark ship` alike. The carrier's code on the
// platform is the one of the template's carrier.

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
