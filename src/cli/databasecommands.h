#pragma once

#include "base/exitcode.h"

#include <QString>
#include <QStringList>

class DataModule;
struct Session;

// "waylark db": the database file as a whole.
namespace DatabaseCommands
{

QString synopsis();
// "db copy --to FILE": a copy of the open database at FILE (a folder takes
// the usual file name), the template pictures into bkbmp/ beside it and
// config.ini when none is there. An existing database is never replaced.
// "db copy --to URL": the file's data and pictures onto an empty PostgreSQL
// database; "db init URL": only the tables, and the GRANT lines for the
// stations' role; "db check --to URL": exit 0 when file and server hold the
// same, else 1 with what differs.
ExitCode::Code runCommand(const QStringList& args, DataModule* dm, Session& session);

} // namespace DatabaseCommands
