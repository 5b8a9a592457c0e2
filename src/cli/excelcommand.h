#pragma once

#include "base/exitcode.h"

#include <QString>
#include <QStringList>

class DataModule;
struct Session;

// `waylark import` and `waylark export`. They share the readers, the
// import's table writing and exportTable with the recipient tab.
namespace ExcelCommand
{

// waylark import FILE [--sheet NAME] [--title-row N] [--append] [--map CAPTION=TITLE ...]
// Refused when no column gives the name, a phone or the address (1 for the
// proposed mapping, 2 for a --map), and when every row is blank (1).
ExitCode::Code runImportCommand(const QStringList& args, DataModule* dm, Session& session);
// waylark export FILE
ExitCode::Code runExportCommand(const QStringList& args, DataModule* dm, Session& session);

QString importSynopsis();
QString exportSynopsis();

} // namespace ExcelCommand
