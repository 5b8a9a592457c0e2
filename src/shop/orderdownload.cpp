#include "shop/orderdownload.h"

#include "data/configini.h"

bool isUsableGateway(const QUrl& url)
{
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

namespace
{

int configuredNumber(const QString& appDir, ConfigIni::Setting setting, int defaultValue,
                     int maximum)
{
    bool ok = false;
    const int value = ConfigIni::read(appDir, setting).trimmed().toInt(&ok);
    return ok && value >= 1 && value <= maximum ? value : defaultValue;
}

TradesResult failed(const QString& message)
{
    TradesResult result;
    result.outcome = TradesResult::Failed;
    result.message = message;
    return result;
}

QString fetchFailure(const FetchResult& fetched, const DownloadLimits& limits)
{
    switch (fetched.status) {
    case FetchResult::DeadlinePassed:
        return QString::fromUtf8(ShopText::DeadlinePassed).arg(limits.deadlineSeconds);
    case FetchResult::TooLarge:
        return QString::fromUtf8(ShopText::TooLarge).arg(limits.maxAnswerMB);
    default:
        return fetched.message;
    }
}

} // namespace

DownloadLimits downloadLimitsFromConfig(const QString& appDir)
{
    DownloadLimits limits;
    limits.deadlineSeconds = configuredNumber(appDir, ConfigIni::ShopDownloadTimeout,
                                              DownloadLimits::DefaultDeadlineSeconds,
                                              DownloadLimits::MaxDeadlineSeconds);
    limits.maxAnswerMB =
        configuredNumber(appDir, ConfigIni::ShopMaxAnswerMB, DownloadLimits::DefaultMaxAnswerMB,
                         DownloadLimits::MaxMaxAnswerMB);
    return limits;
}

TradesResult downloadOrders(const ShopParams& shop, const QUrl& gateway, GatewayFetcher& fetcher,
                            const Clock& clock, const DownloadLimits& limits, const QString& status)
{
    if (!isUsableGateway(gateway))
        return failed(QString::fromUtf8(ShopText::BadGateway).arg(gateway.toString()));

    fetcher.setDeadline(QDeadlineTimer(qint64(limits.deadlineSeconds) * 1000));
    qint64 bytesLeft = qint64(limits.maxAnswerMB) * 1024 * 1024;
    const QList<RequestParam> params = tradesSoldGetParams(shop, clock, 1, status);

    TradesResult all;
    qint64 pages = 1;
    for (int pageNo = 1; pageNo <= pages; ++pageNo) {
        const TradesRequest request =
            signedTradesRequest(withPageNo(params, pageNo), shop.secret, gateway);
        fetcher.setMaxBytes(bytesLeft);
        const FetchResult fetched = fetcher.get(request.url);
        if (fetched.status != FetchResult::Ok)
            return failed(fetchFailure(fetched, limits));
        bytesLeft -= fetched.body.size();

        TradesResult page = parseTradesAnswer(fetched.body);
        if (pageNo == 1) {
            if (page.outcome != TradesResult::Orders)
                return page;
            all = page;
            pages = (page.totalResults + TradesPageSize - 1) / TradesPageSize;
        } else if (page.outcome == TradesResult::Orders) {
            all.orders += page.orders;
        } else if (page.outcome != TradesResult::NoOrders) {
            return page;
        }
        // The platform leaves out the trades of a page past the end.
        if (page.outcome == TradesResult::NoOrders || page.orders.size() < TradesPageSize ||
            all.orders.size() >= all.totalResults)
            break;
    }
    return all;
}
