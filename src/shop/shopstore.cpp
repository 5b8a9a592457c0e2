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
        {
            RowWrite row(shop, RowWrite::Kind::Append);
            shop->fieldByName(QStringLiteral("Nick")).setAsString(values.nick);
            shop->fieldByName(QStringLiteral("App_Key")).setAsString(values.appKey);
            shop->fieldByName(QStringLiteral("Secret")).setAsString(values.secret);
            shop->fieldByName(QStringLiteral("Sesstion")).setAsString(values.session);
            row.post();
        }
        t.commit();
    } catch (...) {
        // The row not posted is cancelled already; the file is rolled back
        // and the rows in memory must follow it.
        rethrowAfterReload(shop);
    }
}
