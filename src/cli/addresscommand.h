#pragma once

#include "base/exitcode.h"

#include <QStringList>

class AddressParser;
class DataModule;
struct Session;

// `waylark address [FILE]`: one pasted address per line, split into
// tab-separated columns on standard output.
namespace AddressCommand
{

QString synopsis();
ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session);

// The output for the given input lines: the header, then one line each.
QString tabSeparated(const AddressParser& parser, const QStringList& lines);

} // namespace AddressCommand
