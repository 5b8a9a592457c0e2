#pragma once

#include <functional>

// Runs one user action; an error that escapes it (a data error, any
// std::exception) ends only that action and is shown with its own message.
// Returns false when it failed.
bool guarded(const std::function<void()>& action);

class QString;

// The text shown for an error that ended an action: a Chinese first line,
// then the system's own reason when that is not Chinese already.
QString dataErrorText(const QString& reason);
QString programErrorText(const QString& reason);
