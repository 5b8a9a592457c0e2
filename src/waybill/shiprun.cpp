#include "waybill/shiprun.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "shop/onerunatatime.h"
#include "shop/shopstore.h"
#include "waybill/carrier.h"
#include "waybill/carrierstore.h"

#include <QTimer>

namespace
{

// How often the progress box is asked whether it was cancelled while the
// gateway has not answered.
constexpr int PollMs = 100;

// The platform's code of the template's carrier; empty, having said why,
// when it has none.
QString companyCodeOf(DataModule* dm, const QString& model)
{
    if (model.isEmpty()) {
        prompt().error(QStringLiteral("没有选定模板，无法确定快递公司，运单号未回传！"));
        return {};
    }
    CarrierStore::StoredCarrier stored;
    if (!guarded([&] { stored = CarrierStore::load(dm->database(), model); }))
        return {};
    const Carrier& carrier = Carriers::forTemplate(model, stored.code);
    if (carrier.companyCode.isEmpty())
        prompt().error(QStringLiteral("模板“%1”没有选择快递公司，运单号未回传！\n"
                                      "请先在“运单号生成”中为模板选择快递公司。")
                           .arg(model));
    return carrier.companyCode;
}

} // namespace

ShipRun shipDue(DataModule* dm, const Session& session, const QString& model,
                const ShipOptions& options)
{
    ShipRun run;
    run.refused = true;
    // The requests run in a local event loop; a second press must not
    // start another run over the first.
    static bool running = false;
    const OneRunAtATime once(running);
    if (once.refused()) {
        prompt().message(QString::fromUtf8(ShopText::ShipBusy));
        return run;
    }

    ShopParams shop;
    if (!guarded([&] { shop = storedShopParams(dm->shop); }))
        return run;
    const QString missing = missingShopParams(shop);
    if (!missing.isEmpty()) {
        prompt().error(QString::fromUtf8(ShopText::ShipParamsIncomplete).arg(missing));
        return run;
    }
    QHash<QString, OrderShipState> states;
    QList<ShipOrder> due;
    if (!guarded([&] {
            if (!dm->recipients->isActive())
                dm->recipients->open();
            states = ShipStore::load(dm->database());
            due = dueOrders(dm->recipients, states, QString());
        }))
        return run;
    // Nothing to send needs no carrier.
    if (due.isEmpty()) {
        run.refused = false;
        prompt().message(QString::fromUtf8(ShopText::ShipNothingDue));
        return run;
    }
    const QString companyCode = companyCodeOf(dm, model);
    if (companyCode.isEmpty())
        return run;
    due = dueOrders(dm->recipients, states, companyCode);
    run.refused = false;

    GatewayFetcher fetcher;
    fetcher.setTimeout(options.timeoutMs);
    const std::unique_ptr<Prompt::Progress> progress =
        prompt().progress(QString::fromUtf8(ShopText::ShipLabel), int(due.size()));
    progress->setValue(0);
    int doneCount = 0;
    QTimer poll;
    poll.setInterval(PollMs);
    QObject::connect(&poll, &QTimer::timeout, &fetcher, [&] {
        if (!progress->setValue(doneCount))
            fetcher.cancel();
    });
    poll.start();
    const QUrl gateway = gatewayUrlFromConfig(ConfigIni::fileName(session.appDir));
    guarded([&] {
        run.results = sendBack(shop, gateway, fetcher, dm->database(), due, options.clock,
                               downloadLimitsFromConfig(session.appDir), [&](int n) {
                                   doneCount = n;
                                   if (!progress->setValue(n))
                                       fetcher.cancel();
                               });
    });
    poll.stop();
    progress->setValue(int(due.size()));
    return run;
}
