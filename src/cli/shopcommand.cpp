#include "cli/shopcommand.h"

#include "base/prompt.h"
#include "base/session.h"
#include "cli/cliargs.h"

namespace ShopCommand
{

ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session)
{
    return runDownload(args, dm, session, DownloadOptions());
}

ExitCode::Code runDownload(const QStringList& args, DataModule* dm, const Session& session,
                           DownloadOptions options)
{
    const CliArgs::Options o =
        CliArgs::parse(args, {}, {QStringLiteral("--append"), QStringLiteral("--merge")});
    if (!o.error.isEmpty() || !o.positional.isEmpty()) {
        if (!o.error.isEmpty())
            prompt().error(o.error);
        prompt().error(CliArgs::usageLine(downloadSynopsis().section(QLatin1Char(' '), 0, 2)));
        return ExitCode::Usage;
    }
    // The command itself says what becomes of the recipients.
    options.placement = o.has(QStringLiteral("--append")) ? DownloadOptions::Placement::Append
                                                          : DownloadOptions::Placement::Replace;
    if (o.has(QStringLiteral("--merge")))
        options.merge = true;
    switch (fetchOrders(dm, session, options)) {
    case DownloadOutcome::Stored:
    case DownloadOutcome::NothingNew:
        return ExitCode::Done;
    case DownloadOutcome::Kept:
    case DownloadOutcome::Failed:
        break;
    }
    return ExitCode::Failed;
}

QString downloadSynopsis()
{
    return QStringLiteral(
        "download [--append] [--merge]        the shop's orders waiting to be shipped "
        "in place of the recipients (or after them, leaving out orders already there)");
}

} // namespace ShopCommand
