#include "shopstore.h"

#include "dataset.h"
#include "transaction.h"

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
    return {shop->FieldByName(QStringLiteral("Nick")).AsString(),
            shop->FieldByName(QStringLiteral("App_Key")).AsString(),
            shop->FieldByName(QStringLiteral("Secret")).AsString(),
            shop->FieldByName(QStringLiteral("Sesstion")).AsString()};
}

void replaceShopParams(Dataset* shop, const ShopParams& values)
{
    openIfClosed(shop);
    try {
        Transaction t(QSqlDatabase::database(shop->connectionName(), false),
                      QStringLiteral("shop_params"));
        while (shop->recordCount() > 0)
            shop->remove();
        shop->append();
        shop->FieldByName(QStringLiteral("Nick")).setAsString(values.nick);
        shop->FieldByName(QStringLiteral("App_Key")).setAsString(values.appKey);
        shop->FieldByName(QStringLiteral("Secret")).setAsString(values.secret);
        shop->FieldByName(QStringLiteral("Sesstion")).setAsString(values.session);
        shop->post();
        t.commit();
    } catch (...) {
        // The file is rolled back; the rows in memory must follow it.
        if (shop->state() != Dataset::State::Browse)
            shop->cancel();
        try {
            shop->refresh();
        } catch (...) {
        }
        throw;
    }
}
