#pragma once

#include "shop/gatewayfetcher.h"
#include "shop/tradesrequest.h"

#include <QString>

#include <optional>

class DataModule;
struct Session;

// The shop's orders into the recipient table: "下载网店订单" of the recipient
// tab and `waylark download` alike.

struct DownloadOptions {
    // What becomes of the recipients already in the table: the window asks,
    // the command line is told.
    enum class Placement { Ask, Replace, Append };

    int timeoutMs = GatewayFetcher::DefaultTimeoutMs;
    Clock clock = systemClock;
    Placement placement = Placement::Ask;
    // Whether orders of one buyer to one receiver become one row; unset
    // reads config.ini [Shop] MergeOrders ("1" merges).
    std::optional<bool> merge;
};

enum class DownloadOutcome {
    Stored,     // the orders are in the table
    NothingNew, // the shop had no orders; the table is as it was
    Kept,       // the user backed out before storing; the table is as it was
    Failed,     // said why; the table is as it was
};

// Downloads the last three days' orders of the stored shop that wait to be
// shipped (or those of config.ini [Shop] Status) from the
// gateway that config.ini names (or the platform's own), within the limits
// that config.ini sets (downloadLimitsFromConfig), under a progress box
// with a cancel button, and replaces the recipient table with one row per
// order, or appends those not yet in the table (by order number), in one
// transaction. A shop whose parameters are
// not all filled in is refused before anything is sent. With Ask and
// recipients in the table, the user chooses replacing or appending and
// then confirms a question that says which. Every outcome is told through
// prompt(); the done message counts the orders this run added, orders
// already present, those another station added meanwhile (on a server) and
// the rows stored. Only Stored
// changes the table.
DownloadOutcome fetchOrders(DataModule* dm, const Session& session,
                            const DownloadOptions& options = {});
