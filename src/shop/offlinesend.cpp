#include "shop/offlinesend.h"

#include "shop/gatewayanswer.h"

#include <QDomDocument>
#include <QDomElement>

namespace
{

QString childText(const QDomElement& parent, const char* name)
{
    return parent.firstChildElement(QLatin1String(name)).text().trimmed();
}

// The platform answers a second send for a shipped order with this sub
// code; its message says so in words too.
bool saysAlreadyShipped(const QString& subCode, const QString& subMsg)
{
    return subCode.endsWith(QLatin1String(":B04")) || subMsg.contains(QStringLiteral("已发货"));
}

} // namespace

QList<RequestParam> offlineSendParams(const ShopParams& shop, const ShipOrder& order,
                                      const Clock& clock)
{
    const QString now = tradeDateTimeText(clock());
    return {
        {QStringLiteral("app_key"), shop.appKey},
        {QStringLiteral("company_code"), order.companyCode},
        {QStringLiteral("format"), QStringLiteral("xml")},
        {QStringLiteral("method"), QStringLiteral("taobao.logistics.offline.send")},
        {QStringLiteral("out_sid"), order.waybill},
        {QStringLiteral("session"), shop.session},
        {QStringLiteral("sign_method"), QStringLiteral("md5")},
        {QStringLiteral("tid"), order.tid},
        {QStringLiteral("timestamp"), now},
        {QStringLiteral("v"), QStringLiteral("2.0")},
    };
}

SendAnswer parseOfflineSendAnswer(const QByteArray& body)
{
    SendAnswer answer;
    QDomDocument document;
    if (!GatewayAnswer::read(body, &document, &answer.reason))
        return answer;
    const QDomElement root = document.documentElement();
    if (root.tagName() == QLatin1String("logistics_offline_send_response")) {
        const QString success =
            childText(root.firstChildElement(QStringLiteral("shipping")), "is_success");
        if (success == QLatin1String("true")) {
            answer.outcome = SendAnswer::Sent;
            return answer;
        }
        answer.outcome = SendAnswer::Refused;
        answer.reason = QString::fromUtf8(ShopText::ShipNotTaken);
        return answer;
    }
    if (root.tagName() == QLatin1String("error_response")) {
        const QString subCode = childText(root, "sub_code");
        const QString subMsg = childText(root, "sub_msg");
        if (saysAlreadyShipped(subCode, subMsg)) {
            answer.outcome = SendAnswer::AlreadyShipped;
            return answer;
        }
        const QString reason = GatewayAnswer::platformReason(root);
        answer.outcome = SendAnswer::Refused;
        answer.reason = reason.isEmpty() ? childText(root, "code") : reason;
        return answer;
    }
    answer.reason = QString::fromUtf8(ShopText::ShipUnknownAnswer).arg(root.tagName());
    return answer;
}
