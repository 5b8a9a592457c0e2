#pragma once

#include "shop/gatewayfetcher.h"
#include "shop/shopparams.h"
#include "shop/tradesanswer.h"
#include "shop/tradesrequest.h"

// The bounds of one download, all pages together.
struct DownloadLimits {
    static constexpr int DefaultDeadlineSeconds = 120;
    static constexpr int MaxDeadlineSeconds = 3600;
    static constexpr int DefaultMaxAnswerMB = 64;
    static constexpr int MaxMaxAnswerMB = 1024;

    int deadlineSeconds = DefaultDeadlineSeconds; // from the first request to the last byte
    int maxAnswerMB = DefaultMaxAnswerMB;         // the answers' bytes once decompressed
};

// An http or https address with a host.
bool isUsableGateway(const QUrl& url);

// config.ini [Shop] DownloadTimeout (seconds) and MaxAnswerMB in the
// application directory APPDIR. A key that is missing, not a whole number,
// or outside 1 .. the maximum above keeps its default.
DownloadLimits downloadLimitsFromConfig(const QString& appDir);

// The whole download short of the table: signs the request for the shop,
// fetches every page from the gateway and reads the answers. Pages 1, 2, ...
// are asked for until the orders received reach the first page's
// total_results; a page with fewer than TradesPageSize orders (an empty one
// included) is the last, and no more pages are asked for than the total
// calls for. Every outcome but Orders means the recipient table must stay as
// it is: one failed page fails the whole download.
// STATUS is the order status asked for (every state when empty).
TradesResult downloadOrders(const ShopParams& shop, const QUrl& gateway, GatewayFetcher& fetcher,
                            const Clock& clock = systemClock, const DownloadLimits& limits = {},
                            const QString& status = QString::fromLatin1(WaitSellerSendGoods));
