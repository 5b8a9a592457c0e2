#include "shop/shopdownload.h"

#include "address/addressparser.h"
#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "book/ordernumbers.h"
#include "book/recipientrows.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "data/dataset.h"
#include "shop/onerunatatime.h"
#include "shop/orderdownload.h"
#include "shop/shopstore.h"

#include <QTimer>

#include <optional>

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
                               const DownloadLimits& limits, const QString& status,
                               const DownloadOptions& options)
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

    TradesResult result = downloadOrders(shop, gateway, fetcher, options.clock, limits, status);
    poll.stop();
    QObject::disconnect(&fetcher, &GatewayFetcher::progress, nullptr, nullptr);

    if (progress->wasCanceled()) {
        result = TradesResult();
        result.outcome = TradesResult::Failed;
        result.message = QString::fromUtf8(ShopText::Canceled);
    }
    return result;
}

// How many orders this station added and how many the table held already
// or another station added meanwhile (on a server), and the rows they
// became.
struct StoredCount {
    int fresh = 0;
    int present = 0;
    int elsewhere = 0;
    int keptForOthers = 0; // a replace on a server: rows other stations print
    int rows = 0;
};

// Orders already in the table (by order number) are left out when
// appending; an order without a number cannot be told and always goes in.
std::optional<StoredCount> storeOrders(DataModule* dm, QList<OrderRecipient> orders, bool append,
                                       bool merge)
{
    // Regions the shop left out or abbreviated are filled where the whole
    // address is sure; without the region tables the orders go as sent.
    QString error;
    if (const std::unique_ptr<AddressParser> parser =
            AddressParser::fromDatabase(dm->database(), &error))
        completeRegions(&orders, *parser);
    if (merge)
        orders = mergeSameReceiver(orders);

    StoredCount count;
    RecipientRows rows(dm->recipients);
    const bool ok = guarded([&] {
        rows.inTransaction([&] {
            count = {};
            QSet<QString> known;
            if (append)
                known = OrderNumbers::inTable(dm->recipients);
            else
                count.keptForOthers = rows.empty();
            for (OrderRecipient order : orders) {
                if (order.tids.isEmpty()) {
                    ++count.fresh;
                } else {
                    order.tids = OrderNumbers::takeNew(order.tids, &known, &count.present);
                    if (order.tids.isEmpty())
                        continue;
                    count.fresh += int(order.tids.size());
                }
                // On a server another station may hold some of the numbers
                // by now: they are left out, and a row left without any is
                // not added.
                const int left = rows.append(order.columns());
                count.fresh -= left;
                count.elsewhere += left;
                if (order.tids.isEmpty() || left < order.tids.size())
                    ++count.rows;
            }
        });
    });
    if (!ok)
        return std::nullopt;
    return count;
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

DownloadOutcome fetchOrders(DataModule* dm, const Session& session, const DownloadOptions& options)
{
    // The request runs in a local event loop; a second press must not start
    // another download over the first.
    static bool running = false;
    const OneRunAtATime once(running);
    if (once.refused()) {
        prompt().message(QString::fromUtf8(ShopText::Busy));
        return DownloadOutcome::Failed;
    }

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

    const QString status = tradeStatusFromConfig(ConfigIni::fileName(session.appDir));
    const TradesResult result = fetchWithProgress(shop, gateway, limits, status, options);
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
        const bool merge = options.merge.value_or(
            ConfigIni::read(session.appDir, ConfigIni::ShopMergeOrders).trimmed() ==
            QLatin1String("1"));
        const std::optional<StoredCount> stored = storeOrders(dm, result.orders, *append, merge);
        if (!stored)
            return DownloadOutcome::Failed;
        QString done =
            result.message + QLatin1Char('\n') +
            QString::fromUtf8(ShopText::NewAndPresent).arg(stored->fresh).arg(stored->present);
        if (stored->elsewhere > 0)
            done += QLatin1Char('\n') +
                    QString::fromUtf8(ShopText::TakenElsewhere).arg(stored->elsewhere);
        if (stored->keptForOthers > 0)
            done += QLatin1Char('\n') + RecipientRows::keptForOthersText(stored->keptForOthers);
        prompt().message(done + QLatin1Char('\n') +
                         QString::fromUtf8(ShopText::OrdersStored).arg(stored->rows));
        return stored->rows > 0 ? DownloadOutcome::Stored : DownloadOutcome::NothingNew;
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
