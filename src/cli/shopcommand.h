#pragma once

#include "base/exitcode.h"
#include "shop/shopdownload.h"

#include <QString>
#include <QStringList>

class DataModule;
struct Session;

// `waylark download`: the shop's orders into the recipient table.
namespace ShopCommand
{

// waylark download [--append]: 0 when the orders were stored or there were
// none, 1 when refused or failed.
ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session);
// The same with the options given (tests use a short time-out); the
// placement comes from the arguments.
ExitCode::Code runDownload(const QStringList& args, DataModule* dm, const Session& session,
                           DownloadOptions options);

QString downloadSynopsis();

} // namespace ShopCommand
