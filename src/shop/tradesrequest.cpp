#include "shop/tradesrequest.h"

#include "data/configini.h"

#include <QCryptographicHash>
#include <QRegularExpression>

namespace
{

const char Fields[] = "tid,buyer_nick,receiver_name,receiver_state,receiver_city,receiver_district,"
                      "receiver_address,receiver_zip,receiver_mobile,receiver_phone";

bool isDateTimeParam(const QString& name)
{
    return name == QLatin1String("end_created") || name == QLatin1String("start_created") ||
           name == QLatin1String("timestamp");
}

bool isAsciiAlnum(char16_t u)
{
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9');
}

QByteArray md5(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5);
}

} // namespace

QUrl gatewayUrlFromConfig(const QString& iniPath)
{
    const QString configured =
        ConfigIni::readFrom(iniPath, QLatin1String(ConfigIni::ShopGatewayUrl.section),
                            QLatin1String(ConfigIni::ShopGatewayUrl.key))
            .trimmed();
    if (configured.isEmpty())
        return QUrl(QString::fromLatin1(DefaultGatewayUrl));
    return QUrl(configured);
}

QDateTime systemClock()
{
    return QDateTime::currentDateTime();
}

QString js_escape(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size() * 3);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u > 255)
            escaped += QLatin1String("%u") + QString::number(u, 16);
        else if (isAsciiAlnum(u) || u == '-')
            escaped += c;
        else
            escaped +=
                QLatin1Char('%') + QString::number(u, 16).rightJustified(2, QLatin1Char('0'));
    }
    return escaped;
}

QString tradeDateTimeText(const QDateTime& dateTime)
{
    return dateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString tradeStatusFromConfig(const QString& iniPath)
{
    const QString configured =
        ConfigIni::readFrom(iniPath, QLatin1String(ConfigIni::ShopStatus.section),
                            QLatin1String(ConfigIni::ShopStatus.key))
            .trimmed();
    if (configured.compare(QLatin1String(AllTradeStatuses), Qt::CaseInsensitive) == 0)
        return QString();
    // The platform's status names are upper-case words joined by "_";
    // anything else would only be refused by it.
    static const QRegularExpression statusName(QStringLiteral("^[A-Z][A-Z_]*$"));
    if (!statusName.match(configured).hasMatch())
        return QString::fromLatin1(WaitSellerSendGoods);
    return configured;
}

QList<RequestParam> tradesSoldGetParams(const ShopParams& shop, const Clock& clock, int pageNo,
                                        const QString& status)
{
    const QString now = tradeDateTimeText(clock());
    // Three days back on the calendar, the time of day kept: the wall-clock
    // text is what the platform reads.
    const QDateTime second = clock();
    const QDateTime earlier(second.date().addDays(-3), second.time(), Qt::UTC);
    const QString start = tradeDateTimeText(earlier);

    QList<RequestParam> params = {
        {QStringLiteral("app_key"), shop.appKey},
        {QStringLiteral("end_created"), now},
        {QStringLiteral("fields"), QString::fromLatin1(Fields)},
        {QStringLiteral("format"), QStringLiteral("xml")},
        {QStringLiteral("method"), QStringLiteral("taobao.trades.sold.get")},
        {QStringLiteral("nick"), shop.nick},
        {QStringLiteral("page_no"), QString::number(pageNo)},
        {QStringLiteral("page_size"), QString::number(TradesPageSize)},
        {QStringLiteral("session"), shop.session},
        {QStringLiteral("sign_method"), QStringLiteral("md5")},
        {QStringLiteral("start_created"), start},
        {QStringLiteral("timestamp"), now},
        {QStringLiteral("v"), QStringLiteral("2.0")},
    };
    if (!status.isEmpty())
        params.insert(11, {QStringLiteral("status"), status});
    return params;
}

QString tradesSignature(const QList<RequestParam>& params, const QString& secret)
{
    QByteArray data = secret.toUtf8();
    for (const RequestParam& p : params)
        data += p.name.toUtf8() + p.value.toUtf8();
    data += secret.toUtf8();
    return QString::fromLatin1(md5(data).toHex().toUpper());
}

QByteArray tradesQuery(const QList<RequestParam>& params, const QString& sign)
{
    QByteArray query;
    for (const RequestParam& p : params) {
        query += p.name.toUtf8() + '=';
        if (isDateTimeParam(p.name))
            query += js_escape(p.value).toUpper().toLatin1();
        else
            query += p.value.toUtf8().toPercentEncoding(",");
        query += '&';
    }
    query += "sign=" + sign.toUtf8().toPercentEncoding();
    return query;
}

QList<RequestParam> withPageNo(QList<RequestParam> params, int pageNo)
{
    for (RequestParam& p : params) {
        if (p.name == QLatin1String("page_no"))
            p.value = QString::number(pageNo);
    }
    return params;
}

TradesRequest buildTradesRequest(const ShopParams& shop, const QUrl& gateway, const Clock& clock,
                                 const QString& status)
{
    return signedTradesRequest(tradesSoldGetParams(shop, clock, 1, status), shop.secret, gateway);
}

TradesRequest signedTradesRequest(const QList<RequestParam>& params, const QString& secret,
                                  const QUrl& gateway)
{
    TradesRequest request;
    request.params = params;
    request.sign = tradesSignature(request.params, secret);
    request.url = gateway;
    request.url.setQuery(QString::fromLatin1(tradesQuery(request.params, request.sign)),
                         QUrl::StrictMode);
    return request;
}
