#include "waybill/shiprun.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "cli/cliargs.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "shop/onerunatatime.h"
#include "shop/shopstore.h"
#include "waybill/carrier.h"
#include "waybill/carrierstore.h"

#include <QTimer>

#include <cstdio>

namespace ShipCommands
{

namespace
{

// How often the progress box is asked whether it was cancelled while the
// gateway has not answered.
constexpr int PollMs = 100;

const char Sent[] = "已回传";

QString resultText(const ShipResult& r)
{
    if (r.sent)
        return QString::fromUtf8(Sent);
    QString reason = r.reason;
    reason.replace(QLatin1Char('\n'), QLatin1Char(' '));
    reason.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return QStringLiteral("失败：") + reason;
}

void writeOut(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

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

void shipWaybills(DataModule* dm, const Session& session, const ShipOptions& options)
{
    for (;;) {
        const ShipRun run = shipDue(dm, session, session.currentTemplate, options);
        if (run.refused || run.results.isEmpty())
            return;
        QStringList failures;
        int sent = 0;
        for (const ShipResult& r : run.results) {
            if (r.sent)
                ++sent;
            else
                failures << QStringLiteral("%1  %2").arg(r.order.tid, r.reason);
        }
        if (failures.isEmpty()) {
            prompt().message(QString::fromUtf8(ShopText::ShipAllDone).arg(sent));
            return;
        }
        const QString list =
            QString::fromUtf8(ShopText::ShipSomeFailed).arg(sent).arg(failures.size()) +
            QLatin1Char('\n') + failures.join(QLatin1Char('\n'));
        const QString question =
            list + QStringLiteral("\n\n") +
            QString::fromUtf8(ShopText::ShipRetryQuestion).arg(failures.size());
        if (prompt().question(question, QStringLiteral("提示"), true, Prompt::Button::No) !=
            Prompt::Button::Yes)
            return;
    }
}

ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session)
{
    return runShip(args, dm, session, ShipOptions());
}

ExitCode::Code runShip(const QStringList& args, DataModule* dm, const Session& session,
                       const ShipOptions& options)
{
    const QString modelOption = QStringLiteral("--model");
    const CliArgs::Options o = CliArgs::parse(args, {modelOption});
    if (!o.error.isEmpty() || !o.positional.isEmpty()) {
        if (!o.error.isEmpty())
            prompt().error(o.error);
        prompt().error(CliArgs::usageLine(QStringLiteral("ship [--model NAME]")));
        return ExitCode::Usage;
    }
    const QString model = o.has(modelOption)
                              ? o.value(modelOption)
                              : ConfigIni::read(session.appDir, ConfigIni::DefaultModel).trimmed();
    const ShipRun run = shipDue(dm, session, model, options);
    if (run.refused)
        return ExitCode::Failed;
    bool allSent = true;
    for (const ShipResult& r : run.results) {
        allSent = allSent && r.sent;
        writeOut(QStringLiteral("%1\t%2\t%3\t%4\n")
                     .arg(r.order.tid, r.order.waybill, r.order.companyCode, resultText(r)));
    }
    return allSent ? ExitCode::Done : ExitCode::Failed;
}

QString shipSynopsis()
{
    return QStringLiteral("ship [--model NAME]                  send the waybill numbers of "
                          "printed orders back to the shop (the template's carrier)");
}

} // namespace ShipCommands
