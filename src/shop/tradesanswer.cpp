#include "shop/tradesanswer.h"

#include "address/addressparser.h"
#include "book/ordernumbers.h"
#include "data/schema.h"
#include "shop/gatewayanswer.h"

#include <QHash>

#include <QDomDocument>
#include <QDomElement>

namespace
{

QString childText(const QDomElement& parent, const char* name)
{
    return parent.firstChildElement(QLatin1String(name)).text();
}

OrderRecipient recipientOf(const QDomElement& trade)
{
    OrderRecipient r;
    r.name = childText(trade, "receiver_name");
    r.address = childText(trade, "receiver_address");
    r.mobile = childText(trade, "receiver_mobile");
    r.phone = childText(trade, "receiver_phone");
    r.disrination = childText(trade, "receiver_city");
    r.prvince = childText(trade, "receiver_state");
    r.city = childText(trade, "receiver_city");
    r.country = childText(trade, "receiver_district");
    r.postCode = childText(trade, "receiver_zip");
    const QString tid = childText(trade, "tid").trimmed();
    if (!tid.isEmpty())
        r.tids << tid;
    r.buyerNick = childText(trade, "buyer_nick");
    return r;
}

bool isZeroOrEmpty(const QString& total)
{
    const QString t = total.trimmed();
    bool numeric = false;
    return t.isEmpty() || (t.toLongLong(&numeric) == 0 && numeric);
}

// The refusal message, with the platform's own reason on a second line when
// the answer carries one (an expired session key, for example).
QString shopErrorMessage(const QDomElement& root)
{
    const QString reason = GatewayAnswer::platformReason(root);
    QString message = QString::fromUtf8(ShopText::ShopParamsWrong);
    if (!reason.isEmpty())
        message += QLatin1Char('\n') + reason;
    return message;
}

} // namespace

QList<std::pair<QString, QString>> OrderRecipient::columns() const
{
    return {
        {QStringLiteral("Name"), name},
        {QStringLiteral("Address"), address},
        {QStringLiteral("Mobile"), mobile},
        {QStringLiteral("Phone"), phone},
        {QStringLiteral("Disrination"), disrination},
        {QStringLiteral("Prvince"), prvince},
        {QStringLiteral("City"), city},
        {QStringLiteral("Country"), country},
        {QStringLiteral("PostCode"), postCode},
        {Schema::orderNoColumn(), OrderNumbers::join(tids)},
    };
}

QList<OrderRecipient> mergeSameReceiver(const QList<OrderRecipient>& orders)
{
    QList<OrderRecipient> merged;
    QHash<QStringList, qsizetype> placeOf;
    for (const OrderRecipient& order : orders) {
        // Without an order number nothing tells two orders from one sent twice.
        if (order.tids.isEmpty()) {
            merged << order;
            continue;
        }
        const QStringList key = {order.buyerNick, order.name,    order.mobile,
                                 order.phone,     order.prvince, order.city,
                                 order.country,   order.address, order.postCode};
        const auto found = placeOf.constFind(key);
        if (found == placeOf.cend()) {
            placeOf.insert(key, merged.size());
            merged << order;
            continue;
        }
        for (const QString& tid : order.tids) {
            if (!merged[*found].tids.contains(tid))
                merged[*found].tids << tid;
        }
    }
    return merged;
}

TradesResult parseTradesAnswer(const QByteArray& body)
{
    TradesResult result;
    QDomDocument document;
    if (!GatewayAnswer::read(body, &document, &result.message)) {
        result.outcome = TradesResult::Failed;
        return result;
    }

    const QDomElement root = document.documentElement();
    if (root.tagName() != QLatin1String("trades_sold_get_response")) {
        result.outcome = TradesResult::ShopError;
        result.message = shopErrorMessage(root);
        return result;
    }

    // Without a trades element there is nothing to replace the recipients
    // with, whatever the total says.
    const QDomElement trades = root.firstChildElement(QStringLiteral("trades"));
    if (isZeroOrEmpty(childText(root, "total_results")) || trades.isNull()) {
        result.outcome = TradesResult::NoOrders;
        result.message = QString::fromUtf8(ShopText::NoNewOrders);
        return result;
    }

    result.totalResults = childText(root, "total_results").trimmed().toLongLong();
    for (QDomElement trade = trades.firstChildElement(); !trade.isNull();
         trade = trade.nextSiblingElement())
        result.orders << recipientOf(trade);
    result.outcome = TradesResult::Orders;
    result.message = QString::fromUtf8(ShopText::OrdersDone);
    return result;
}

int completeRegions(QList<OrderRecipient>* orders, const AddressParser& parser)
{
    int completed = 0;
    for (OrderRecipient& order : *orders) {
        if (!order.prvince.isEmpty() && !order.city.isEmpty() && !order.country.isEmpty() &&
            parser.regionsBelongTogether(order.prvince, order.city, order.country))
            continue;
        const QString text = order.prvince + QLatin1Char(' ') + order.city + QLatin1Char(' ') +
                             order.country + QLatin1Char(' ') + order.address;
        const ParsedAddress parsed = parser.parse(text);
        if (parsed.verdict != ParsedAddress::Verdict::Sure || parsed.district.isEmpty())
            continue;
        // The destination follows the city unless the shop gave another.
        if (order.disrination.isEmpty() || order.disrination == order.city)
            order.disrination = parsed.city;
        order.prvince = parsed.province;
        order.city = parsed.city;
        order.country = parsed.district;
        ++completed;
    }
    return completed;
}
