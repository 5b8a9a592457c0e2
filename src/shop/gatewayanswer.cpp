#include "shop/gatewayanswer.h"

#include "shop/shopmessages.h"

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QStringList>

namespace GatewayAnswer
{

bool read(const QByteArray& body, QDomDocument* document, QString* error)
{
    QString reason;
    int line = 0;
    int column = 0;
    if (document->setContent(body, &reason, &line, &column))
        return true;
    *error = QString::fromUtf8(ShopText::NotXml)
                 .arg(reason, QString::number(line), QString::number(column));
    return false;
}

QString platformReason(const QDomElement& errorResponse)
{
    QStringList reason;
    for (const char* name : {"msg", "sub_msg"}) {
        const QString text = errorResponse.firstChildElement(QLatin1String(name)).text().trimmed();
        if (!text.isEmpty())
            reason << text;
    }
    return reason.join(QStringLiteral("："));
}

} // namespace GatewayAnswer
