#include "cli/shipcommand.h"

#include "base/prompt.h"
#include "base/session.h"
#include "cli/cliargs.h"
#include "data/configini.h"

#include <cstdio>

namespace ShipCommand
{

namespace
{

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

} // namespace

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

} // namespace ShipCommand
