#pragma once

#include "shop/shopparams.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

// The platform's REST gateway; config.ini [Shop] GatewayUrl overrides it.
inline constexpr char DefaultGatewayUrl[] = "https://eco.taobao.com/router/rest";

// The gateway named in the INI file at iniPath (section "Shop", key
// "GatewayUrl"), or DefaultGatewayUrl when the key is missing or blank.
QUrl gatewayUrlFromConfig(const QString& iniPath);

// Reads the local date and time; tests fix it.
using Clock = std::function<QDateTime()>;
QDateTime systemClock();

struct RequestParam {
    QString name;
    QString value;

    bool operator==(const RequestParam& o) const { return name == o.name && value == o.value; }
};

// Percent-escaping of UTF-16 code units: letters, digits and "-" stay, any
// other unit up to 255 becomes %xx (two lower-case hex digits), a larger one
// %u followed by its lower-case hex value without leading zeros.
QString js_escape(const QString& text);

// "yyyy-MM-dd HH:mm:ss", the date-time form of the request.
QString tradeDateTimeText(const QDateTime& dateTime);

// Orders asked for on one page of the answer: the platform's maximum.
inline constexpr int TradesPageSize = 100;

// The orders a download asks for: those the seller still has to send.
inline constexpr char WaitSellerSendGoods[] = "WAIT_SELLER_SEND_GOODS";
// config.ini [Shop] Status set to this asks for orders in every state.
inline constexpr char AllTradeStatuses[] = "ALL";

// The status the INI file at iniPath asks for ([Shop] Status): empty for
// AllTradeStatuses, WaitSellerSendGoods when the key is missing, blank or
// no status name (upper-case letters and "_").
QString tradeStatusFromConfig(const QString& iniPath);

// The parameters of taobao.trades.sold.get in ascending name order, asking
// for page PAGENO of TradesPageSize orders in STATUS (every state when
// empty). The clock is read twice: once for end_created and timestamp,
// then again for start_created, three calendar days before that second
// reading.
QList<RequestParam>
tradesSoldGetParams(const ShopParams& shop, const Clock& clock, int pageNo = 1,
                    const QString& status = QString::fromLatin1(WaitSellerSendGoods));

// The same parameters asking for page PAGENO: all pages of one download
// share one reading of the clock.
QList<RequestParam> withPageNo(QList<RequestParam> params, int pageNo);

// MD5 over secret + name1 value1 name2 value2 ... + secret (UTF-8), as 32
// upper-case hex digits.
QString tradesSignature(const QList<RequestParam>& params, const QString& secret);

// name=value&... for every parameter, then sign=. The three date-times go
// through js_escape and are upper-cased; every other value is percent-encoded
// as UTF-8 with letters, digits, "-._~" and "," left as they are.
QByteArray tradesQuery(const QList<RequestParam>& params, const QString& sign);

struct TradesRequest {
    QList<RequestParam> params;
    QString sign;
    QUrl url; // the gateway with tradesQuery() as its query
};

// PARAMS signed with SECRET and put on GATEWAY.
TradesRequest signedTradesRequest(const QList<RequestParam>& params, const QString& secret,
                                  const QUrl& gateway);

// The request for the first page.
TradesRequest buildTradesRequest(const ShopParams& shop, const QUrl& gateway,
                                 const Clock& clock = systemClock,
                                 const QString& status = QString::fromLatin1(WaitSellerSendGoods));
