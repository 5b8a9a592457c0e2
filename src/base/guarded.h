#pragma once

#include <exception>
#include <functional>

// The windows' error rule: a failed step shows the program's own first line
// and the reason on a second one (withReason); an action that may throw runs
// under guarded(). A caught reason is never dropped.

// Runs one user action; an error that escapes it (a data error, any
// std::exception) ends only that action and is shown with its own message.
// Returns false when it failed.
bool guarded(const std::function<void()>& action);

class QString;

class DataError;

// The text shown for an error that ended an action: the program's first
// line, then the system's own reason.
QString dataErrorText(const QString& reason);
QString programErrorText(const QString& reason);
// A data error as shown: a failure with the first line above its reason, the
// program's own refusals and stops as they stand.
QString shownText(const DataError& error);

// The first line as it is, the reason on a second line when there is one.
QString withReason(const QString& firstLine, const QString& reason);
// What a caught exception says: a DataError's message, else what().
QString reasonOf(const std::exception& error);
