#include "shop/shopstore.h"

#include "data/dataset.h"
#include "data/rowwrite.h"
#include "data/transaction.h"

#include <QSqlDatabase>

namespace
{

void openIfClosed(Dataset* shop)
{
    if (!shop->isActive())
        shop->open();
}

} // namespace

ShopParams storedShopParams(Dataset* shop)
{
    openIfClosed(shop);
    return {shop->fieldByName(QStringLiteral("Nick")).asString(),
            shop->fieldByName(QStringLiteral("App_Key")).asString(),
            shop->fieldByName(QStringLiteral("Secret")).asString(),
            shop->fieldByName(QStringLiteral("Sesstion")).asString()};
}

void replaceShopParams(Dataset* shop, const ShopParams& values)
{
    openIfClosed(shop);
    try {
        Transaction t(QSqlDatabase::database(shop->connectionName(), false),
                      QStringLiteral("shop_params"));
        while (shop->recordCount() > 0)
            shop->remove();
        shop->moveTo(
            shop->insertRow(shop->fieldsOf({{QStringLiteral("Nick"), values.nick},
                                            {QStringLiteral("App_Key"), values.appKey},
                                            {QStringLiteral("Secret"), values.secret},
                                            {QStringLiteral("Sesstion"), values.session}})));
        t.commit();
    } catch (...) {
        // The file is rolled back and the rows in memory must follow it.
        rethrowAfterReload(shop);
    }
}
