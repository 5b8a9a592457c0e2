#include "shop/shopcommands.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "book/recipientrows.h"
#include "cli/cliargs.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "shop/orderdownload.h"
#include "shop/shopstore.h"

#include <QTimer>

namespace ShopCommands
{

namespace
{

const char DownloadLabel[] = "正在下载网店订单……";

// How often the progress box is updated and asked whether it was cancelled
// while the gateway has not answered.
constexpr int PollMs = 100;

// Runs the download under a progress box whose cancel button ends the
// request. A cancel that comes after the answer still counts: nothing is
// stored.
TradesResult fetchWithProgress(const ShopParams& shop, const QUrl& gateway,
                               const DownloadLimits& limits, const DownloadOptions& options)
{
    GatewayFetcher fetcher;
    fetcher.setTimeout(options.timeoutMs);
    const std::unique_ptr<Prompt::Progress> progress =
        prompt().progress(QString::fromUtf8(DownloadLabel), 0);
    progress->setValue(0);

    int ticks = 0;
    const auto tick = [&] {
        if (!progress->setValue(++ticks))
            fetcher.cancel();
    };
    QTimer poll;
    poll.setInterval(PollMs);
    QObject::connect(&poll, &QTimer::timeout, &fetcher, tick);
    QObject::connect(&fetcher, &GatewayFetcher::progress, &fetcher, tick);
    poll.start();

    TradesResult result = downloadOrders(shop, gateway, fetcher, options.clock, limits);
    poll.stop();
    QObject::disconnect(&fetcher, &GatewayFetcher::progress, nullptr, nullptr);

    if (progress->wasCanceled()) {
        result = TradesResult();
        result.outcome = TradesResult::Failed;
        result.message = QString::fromUtf8(ShopText::Canceled);
    }
    return result;
}

bool storeOrders(DataModule* dm, const QList<OrderRecipient>& orders)
{
    RecipientRows rows(dm->recipients);
    return guarded([&] {
        rows.inTransaction([&] {
            rows.empty();
            for (const OrderRecipient& order : orders)
                rows.append(order.columns());
        });
    });
}

} // namespace

void downloadOrders(DataModule* dm, const Session& session)
{
    fetchOrders(dm, session);
}

bool fetchOrders(DataModule* dm, const Session& session, const DownloadOptions& options)
{
    // The request runs in a local event loop; a second press must not start
    // another download over the first.
    static bool running = false;
    if (running) {
        prompt().message(QString::fromUtf8(ShopText::Busy));
        return false;
    }
    running = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{running};

    ShopParams shop;
    if (!guarded([&] { shop = storedShopParams(dm->shop); }))
        return false;
    const QUrl gateway = gatewayUrlFromConfig(ConfigIni::fileName(session.appDir));
    const DownloadLimits limits = downloadLimitsFromConfig(session.appDir);

    const TradesResult result = fetchWithProgress(shop, gateway, limits, options);
    switch (result.outcome) {
    case TradesResult::Orders:
        if (!storeOrders(dm, result.orders))
            return false;
        prompt().message(result.message);
        return true;
    case TradesResult::NoOrders:
    case TradesResult::ShopError:
        prompt().message(result.message);
        return false;
    case TradesResult::Failed:
        prompt().error(result.message);
        return false;
    }
    return false;
}

ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session)
{
    return runDownload(args, dm, session, DownloadOptions());
}

ExitCode::Code runDownload(const QStringList& args, DataModule* dm, const Session& session,
                           const DownloadOptions& options)
{
    if (!args.isEmpty()) {
        prompt().error(CliArgs::usageLine(QStringLiteral("download")));
        return ExitCode::Usage;
    }
    return fetchOrders(dm, session, options) ? ExitCode::Done : ExitCode::Failed;
}

QString downloadSynopsis()
{
    return QStringLiteral(
        "download                              the shop's sold orders of the last "
        "three days in place of the recipients");
}

} // namespace ShopCommands
