#pragma once

#include "base/exitcode.h"

#include <QString>
#include <QStringList>

class QWidget;
class DataModule;
struct Session;

// The Excel commands of the recipient tab, and `waylark import` / `waylark
// export`. Both faces share the readers, the import's table writing and
// exportTable.
namespace ExcelCommands
{

// "导出到Excel文件": the save dialog, then the recipient table to that file.
void exportRecipients(DataModule* dm);

// The open dialog's filters: every readable kind first, each matching its
// extension in any letter case.
QString importFileFilter();

// waylark import FILE [--sheet NAME] [--title-row N] [--append] [--map CAPTION=TITLE ...]
// Refused when no column gives the name, a phone or the address (1 for the
// proposed mapping, 2 for a --map), and when every row is blank (1).
ExitCode::Code runImportCommand(const QStringList& args, DataModule* dm, Session& session);
// waylark export FILE
ExitCode::Code runExportCommand(const QStringList& args, DataModule* dm, Session& session);

QString importSynopsis();
QString exportSynopsis();

} // namespace ExcelCommands
