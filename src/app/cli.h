#pragma once

#include <QString>
#include <QMultiMap>
#include <QStringList>
#include <functional>

class TDataModule1;
struct Session;

// The command line: the same core as the windows, no window. Exit status:
// 0 done; 1 refused or failed (the message says why); 2 wrong usage.
namespace Cli {

enum Status { Done = 0, Failed = 1, Usage = 2 };

struct Command {
    QString name;
    QString synopsis; // the usage line after "waylark "
    // args: the words after the command name. The database is open, the
    // session names the application folder and the prompt writes to
    // standard error when this runs.
    std::function<int(const QStringList& args, TDataModule1* dm, Session& session)> run;
};

// Registered commands, in the order --help lists them.
QList<Command>& commands();

QString usageText();

} // namespace Cli

int runCommandLine(int argc, char** argv);
