#include "shop/shopcommands.h"

#include "address/addressparser.h"
#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "book/recipientrows.h"
#include "cli/cliargs.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "data/dataset.h"
#include "shop/orderdownload.h"
#include "shop/shopstore.h"

#include <QTimer>

#include <optional>

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

bool storeOrders(DataModule* dm, QList<OrderRecipient> orders, bool append)
{
    // Regions the shop left out or abbreviated are filled where the whole
    // address is sure; without the region tables the orders go as sent.
    QString error;
    if (const std::unique_ptr<AddressParser> parser =
            AddressParser::fromDatabase(dm->database(), &error))
        completeRegions(&orders, *parser);
    RecipientRows rows(dm->recipients);
    return guarded([&] {
        rows.inTransaction([&] {
            if (!append)
                rows.empty();
            for (const OrderRecipient& order : orders)
                rows.append(order.columns());
        });
    });
}

// The values the request cannot go without, named as the settings dialog
// names them; empty when every one is there.
QString missingShopParams(const ShopParams& shop)
{
    QStringList missing;
    if (shop.nick.trimmed().isEmpty())
        missing << QStringLiteral("淘宝账户名");
    if (shop.appKey.trimmed().isEmpty())
        missing << QStringLiteral("APP_KEY");
    if (shop.secret.trimmed().isEmpty())
        missing << QStringLiteral("SECRET");
    if (shop.session.trimmed().isEmpty())
        missing << QStringLiteral("SESSTION_KEY");
    return missing.join(QStringLiteral("、"));
}

// Asks whether the orders replace the recipients or go after them, then
// whether to go on with that; nothing when the user backs out. An empty
// table has nothing to lose and is not asked about.
std::optional<bool> askAppend(int existing, int orders)
{
    if (existing == 0)
        return false;
    const bool append =
        prompt().question(QString::fromUtf8(ShopText::ReplaceOrAppend).arg(existing).arg(orders),
                          QStringLiteral("提示"), true, Prompt::Button::No) != Prompt::Button::Yes;
    const QString confirm =
        QString::fromUtf8(append ? ShopText::AppendQuestion : ShopText::ReplaceQuestion)
            .arg(existing)
            .arg(orders);
    if (prompt().question(confirm, QStringLiteral("提示"), false, Prompt::Button::Cancel) !=
        Prompt::Button::Ok)
        return std::nullopt;
    return append;
}

} // namespace

void downloadOrders(DataModule* dm, const Session& session)
{
    fetchOrders(dm, session);
}

DownloadOutcome fetchOrders(DataModule* dm, const Session& session, const DownloadOptions& options)
{
    // The request runs in a local event loop; a second press must not start
    // another download over the first.
    static bool running = false;
    if (running) {
        prompt().message(QString::fromUtf8(ShopText::Busy));
        return DownloadOutcome::Failed;
    }
    running = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{running};

    ShopParams shop;
    if (!guarded([&] { shop = storedShopParams(dm->shop); }))
        return DownloadOutcome::Failed;
    const QString missing = missingShopParams(shop);
    if (!missing.isEmpty()) {
        prompt().error(QString::fromUtf8(ShopText::ParamsIncomplete).arg(missing));
        return DownloadOutcome::Failed;
    }
    const QUrl gateway = gatewayUrlFromConfig(ConfigIni::fileName(session.appDir));
    const DownloadLimits limits = downloadLimitsFromConfig(session.appDir);

    const TradesResult result = fetchWithProgress(shop, gateway, limits, options);
    switch (result.outcome) {
    case TradesResult::Orders: {
        // A total without any trade is no order either; the table stays.
        if (result.orders.isEmpty()) {
            prompt().message(QString::fromUtf8(ShopText::NoNewOrders));
            return DownloadOutcome::NothingNew;
        }
        const int count = int(result.orders.size());
        std::optional<bool> append = options.placement == DownloadOptions::Placement::Append;
        if (options.placement == DownloadOptions::Placement::Ask)
            append = askAppend(dm->recipients->recordCount(), count);
        if (!append) {
            prompt().message(QString::fromUtf8(ShopText::OrdersNotStored).arg(count));
            return DownloadOutcome::Kept;
        }
        if (!storeOrders(dm, result.orders, *append))
            return DownloadOutcome::Failed;
        prompt().message(result.message + QLatin1Char('\n') +
                         QString::fromUtf8(ShopText::OrdersStored).arg(count));
        return DownloadOutcome::Stored;
    }
    case TradesResult::NoOrders:
        prompt().message(result.message);
        return DownloadOutcome::NothingNew;
    case TradesResult::ShopError:
        prompt().message(result.message);
        return DownloadOutcome::Failed;
    case TradesResult::Failed:
        prompt().error(result.message);
        return DownloadOutcome::Failed;
    }
    return DownloadOutcome::Failed;
}

ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session)
{
    return runDownload(args, dm, session, DownloadOptions());
}

ExitCode::Code runDownload(const QStringList& args, DataModule* dm, const Session& session,
                           DownloadOptions options)
{
    const CliArgs::Options o = CliArgs::parse(args, {}, {QStringLiteral("--append")});
    if (!o.error.isEmpty() || !o.positional.isEmpty()) {
        if (!o.error.isEmpty())
            prompt().error(o.error);
        prompt().error(CliArgs::usageLine(downloadSynopsis().section(QLatin1Char(' '), 0, 1)));
        return ExitCode::Usage;
    }
    // The command itself says what becomes of the recipients.
    options.placement = o.has(QStringLiteral("--append")) ? DownloadOptions::Placement::Append
                                                          : DownloadOptions::Placement::Replace;
    switch (fetchOrders(dm, session, options)) {
    case DownloadOutcome::Stored:
    case DownloadOutcome::NothingNew:
        return ExitCode::Done;
    case DownloadOutcome::Kept:
    case DownloadOutcome::Failed:
        break;
    }
    return ExitCode::Failed;
}

QString downloadSynopsis()
{
    return QStringLiteral(
        "download [--append]                   the shop's sold orders of the last "
        "three days in place of the recipients (or after them)");
}

} // namespace ShopCommands
