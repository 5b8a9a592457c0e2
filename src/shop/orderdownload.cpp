#include "orderdownload.h"

namespace
{

bool isUsableGateway(const QUrl& url)
{
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

} // namespace

TradesResult downloadOrders(const ShopParams& shop, const QUrl& gateway, GatewayFetcher& fetcher,
                            const Clock& clock)
{
    if (!isUsableGateway(gateway)) {
        TradesResult refused;
        refused.message = QString::fromUtf8(ShopText::BadGateway).arg(gateway.toString());
        return refused;
    }

    const TradesRequest request = buildTradesRequest(shop, gateway, clock);
    const FetchResult fetched = fetcher.get(request.url);
    if (fetched.status != FetchResult::Ok) {
        TradesResult failed;
        failed.message = fetched.message;
        return failed;
    }
    return parseTradesAnswer(fetched.body);
}
