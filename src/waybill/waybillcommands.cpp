#include "waybill/waybillcommands.h"

#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "cli/cliargs.h"
#include "data/configini.h"
#include "data/datamodule.h"
#include "templates/templatemessages.h"
#include "templates/templatestore.h"
#include "waybill/waybillwriter.h"

#include <optional>

namespace WaybillCommands
{

namespace
{

ExitCode::Code usage(const QString& why = QString())
{
    if (!why.isEmpty())
        prompt().error(why);
    prompt().error(CliArgs::usageLine(numberUsage()));
    return ExitCode::Usage;
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

// The increment the plan takes: one ASCII digit.
bool stepIsValid(const QString& text)
{
    const QString t = text.trimmed();
    return t.size() == 1 && t.at(0) >= QLatin1Char('0') && t.at(0) <= QLatin1Char('9');
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

ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session)
{
    const QString model = QStringLiteral("--model");
    const QString start = QStringLiteral("--start");
    const QString step = QStringLiteral("--step");
    const QString prefix = QStringLiteral("--prefix");
    const QString suffix = QStringLiteral("--suffix");
    const CliArgs::Options o = CliArgs::parse(args, {model, start, step, prefix, suffix});
    if (!o.error.isEmpty())
        return usage(o.error);
    if (!o.positional.isEmpty() || !o.has(start))
        return usage();

    const QString wanted =
        o.has(model) ? o.value(model) : ConfigIni::read(session.appDir, ConfigIni::DefaultModel);
    std::optional<QString> modelName;
    if (!guarded([&] { modelName = storedModelName(dm->templates, wanted); }))
        return ExitCode::Failed;
    if (!modelName) {
        prompt().message(TemplateMessages::noCurrentTemplate());
        return ExitCode::Failed;
    }

    const WaybillRequest request{*modelName,
                                 o.value(start),
                                 o.has(step) ? o.value(step) : QStringLiteral("1"),
                                 o.has(prefix) || o.has(suffix),
                                 o.value(prefix),
                                 o.value(suffix)};
    // A start or step the template's rule refuses is wrong usage: checked
    // on no rows, before anything is read or written.
    const WaybillPlan check = planWaybills(request, 0);
    if (!check.ok) {
        const QString& wrong = stepIsValid(request.step) ? start : step;
        return usage(QStringLiteral("%1 的值不正确：%2\n").arg(wrong, o.value(wrong)) +
                     check.message);
    }
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

} // namespace WaybillCommands
