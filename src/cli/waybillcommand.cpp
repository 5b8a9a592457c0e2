#include "cli/waybillcommand.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "cli/cliargs.h"
#include "data/datamodule.h"
#include "templates/templatemessages.h"
#include "templates/templatestore.h"
#include "waybill/carrierstore.h"
#include "waybill/waybillwriter.h"

#include <cstdio>
#include <optional>

namespace WaybillCommand
{

namespace
{

ExitCode::Code usageOf(const QString& synopsis, const QString& why)
{
    if (!why.isEmpty())
        prompt().error(why);
    prompt().error(CliArgs::usageLine(synopsis));
    return ExitCode::Usage;
}

ExitCode::Code usage(const QString& why = QString())
{
    return usageOf(numberUsage(), why);
}

QString missingOption(const QString& option)
{
    return QStringLiteral("缺少选项 %1").arg(option);
}

// The stored name of the template called name: the exact one, else the
// first that differs only in letter case; nothing when there is none.
std::optional<QString> storedModelName(Dataset* tbModel, const QString& name)
{
    if (!tbModel->isActive())
        tbModel->open();
    const QStringList names = TemplateStore::modelNames(tbModel);
    if (names.contains(name))
        return name;
    for (const QString& stored : names) {
        if (stored.compare(name, Qt::CaseInsensitive) == 0)
            return stored;
    }
    return std::nullopt;
}

void writeOut(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace

QString numberUsage()
{
    return QStringLiteral(
        "number --model NAME --start NUMBER [--step N] [--prefix TEXT] [--suffix TEXT]");
}

QString numberSynopsis()
{
    return numberUsage() + QStringLiteral("\n                                                "
                                          "number every recipient row in grid order with the "
                                          "template's carrier rule");
}

ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session&)
{
    const QString model = QStringLiteral("--model");
    const QString start = QStringLiteral("--start");
    const QString step = QStringLiteral("--step");
    const QString prefix = QStringLiteral("--prefix");
    const QString suffix = QStringLiteral("--suffix");
    const CliArgs::Options o = CliArgs::parse(args, {model, start, step, prefix, suffix});
    if (!o.error.isEmpty())
        return usage(o.error);
    if (!o.positional.isEmpty())
        return usage();
    // The rule follows the template: numbering the default one unasked
    // could number the rows with the wrong carrier's rule.
    if (!o.has(model))
        return usage(missingOption(model));
    if (!o.has(start))
        return usage(missingOption(start));

    WaybillRequest request{QString(),
                           o.value(start),
                           o.has(step) ? o.value(step) : QStringLiteral("1"),
                           o.has(prefix) || o.has(suffix),
                           o.value(prefix),
                           o.value(suffix)};
    // A step that is no digit is wrong usage whatever the rule.
    const QString stepWrong = stepProblem(request.step);
    if (!stepWrong.isEmpty())
        return usage(QStringLiteral("%1 的值不正确：%2\n").arg(step, o.value(step)) + stepWrong);

    std::optional<QString> modelName;
    if (!guarded([&] { modelName = storedModelName(dm->templates, o.value(model)); }))
        return ExitCode::Failed;
    if (!modelName) {
        prompt().message(TemplateMessages::noCurrentTemplate());
        return ExitCode::Failed;
    }
    request.modelName = *modelName;
    if (!guarded(
            [&] { request.carrierCode = CarrierStore::load(dm->database(), *modelName).code; }))
        return ExitCode::Failed;

    // A start the template's rule refuses is wrong usage: checked on no
    // rows, before anything is written.
    const WaybillPlan check = planWaybills(request, 0);
    if (!check.ok)
        return usage(QStringLiteral("%1 的值不正确：%2\n").arg(start, o.value(start)) +
                     check.message);
    WaybillPlan plan;
    if (!guarded([&] { plan = numberRecipients(dm->recipients, request); }))
        return ExitCode::Failed;
    if (!plan.ok) {
        prompt().message(plan.message);
        return ExitCode::Failed;
    }
    prompt().message(waybillDoneText(plan.skipped));
    return ExitCode::Done;
}

QString carrierUsage()
{
    return QStringLiteral("carrier --model NAME [--code CODE]");
}

QString carrierSynopsis()
{
    QString codes = Carriers::codeList();
    codes.replace(QStringLiteral("、"), QStringLiteral(" "));
    return carrierUsage() +
           QStringLiteral("    print a template's carrier, or set it (%1)").arg(codes);
}

ExitCode::Code runCarrierCommand(const QStringList& args, DataModule* dm, Session&)
{
    const QString model = QStringLiteral("--model");
    const QString code = QStringLiteral("--code");
    const CliArgs::Options o = CliArgs::parse(args, {model, code});
    if (!o.error.isEmpty())
        return usageOf(carrierUsage(), o.error);
    if (!o.positional.isEmpty())
        return usageOf(carrierUsage(), QString());
    if (!o.has(model))
        return usageOf(carrierUsage(), missingOption(model));
    const Carrier* chosen = o.has(code) ? Carriers::byCode(o.value(code)) : nullptr;
    if (o.has(code) && !chosen)
        return usageOf(carrierUsage(), QStringLiteral("%1 的值不正确：%2\n承运商代码须为%3之一。")
                                           .arg(code, o.value(code), Carriers::codeList()));

    std::optional<QString> modelName;
    if (!guarded([&] { modelName = storedModelName(dm->templates, o.value(model)); }))
        return ExitCode::Failed;
    if (!modelName) {
        prompt().message(QStringLiteral("没有名为“%1”的模板！").arg(o.value(model)));
        return ExitCode::Failed;
    }
    CarrierStore::StoredCarrier stored;
    if (!guarded([&] {
            if (chosen)
                CarrierStore::setCode(dm->database(), *modelName, chosen->code);
            stored = CarrierStore::load(dm->database(), *modelName);
        }))
        return ExitCode::Failed;
    const Carrier& carrier = Carriers::forTemplate(*modelName, stored.code);
    writeOut(QStringLiteral("%1\t%2\n").arg(carrier.code, carrier.name));
    return ExitCode::Done;
}

} // namespace WaybillCommand
