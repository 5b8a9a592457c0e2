#pragma once

#include "base/exitcode.h"

#include "shop/gatewayfetcher.h"
#include "shop/tradesrequest.h"

#include <QString>
#include <QStringList>

class QWidget;
class DataModule;
struct Session;

// The shop commands of the recipient tab, and `waylark download`. Both
// faces share fetchOrders.
namespace ShopCommands
{

struct DownloadOptions {
    int timeoutMs = GatewayFetcher::DefaultTimeoutMs;
    Clock clock = systemClock;
};

// "下载网店订单": fetchOrders with the standard time-out.
void downloadOrders(DataModule* dm, const Session& session);

// Downloads the last three days' sold orders of the stored shop from the
// gateway that config.ini names (or the platform's own), within the limits
// that config.ini sets (downloadLimitsFromConfig), under a progress box
// with a cancel button, and replaces the recipient table with one row per
// order in one transaction. Every outcome is told through prompt(). True
// only when the table now holds the downloaded orders; on every other
// outcome the table is as it was.
bool fetchOrders(DataModule* dm, const Session& session, const DownloadOptions& options = {});

// waylark download
ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session);
// The same with the options given (tests use a short time-out).
ExitCode::Code runDownload(const QStringList& args, DataModule* dm, const Session& session,
                           const DownloadOptions& options);

QString downloadSynopsis();

} // namespace ShopCommands
