#include "shop/shopparams.h"

#include <QStringList>

ShopParamsCheck checkShopParams(const ShopParams& typed)
{
    ShopParamsCheck check;
    check.values = {typed.nick.trimmed(), typed.appKey.trimmed(), typed.secret.trimmed(),
                    typed.session.trimmed()};

    const std::pair<ShopField, const QString*> order[] = {
        {ShopField::Nick, &check.values.nick},
        {ShopField::AppKey, &check.values.appKey},
        {ShopField::Secret, &check.values.secret},
        {ShopField::Session, &check.values.session},
    };
    for (const auto& [field, value] : order) {
        if (value->isEmpty()) {
            check.firstEmpty = field;
            check.message = QString::fromUtf8(ShopText::ParamsMissing);
            return check;
        }
    }
    check.ok = true;
    return check;
}

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
