#pragma once

#include "base/exitcode.h"

#include <QMultiMap>
#include <QString>
#include <QStringList>
#include <functional>

class DataModule;
struct Session;

// The command line: the same core as the windows, no window. Exit status:
// one of ExitCode (0 done; 1 refused or failed, the message says why; 2
// wrong usage).
namespace Cli
{

// One command: a name, its usage line and what runs it. To add one, give
// the feature a run function and a synopsis and add a row to the table in
// cli.cpp.
struct Command {
    QString name;
    QString synopsis; // the usage line after "waylark "
    // args: the words after the command name. The database is open, the
    // session names the application folder and the
    // prompt writes to standard error when this runs.
    std::function<ExitCode::Code(const QStringList& args, DataModule* dm, Session& session)> run;
};

// Every command, in the order --help lists them.
const QList<Command>& commands();

QString usageText();

} // namespace Cli

int runCommandLine(int argc, char** argv);
