#pragma once

#include <functional>

// Runs one user action; an error that escapes it (a data error, any
// std::exception) ends only that action and is shown with its own message.
// Returns false when it failed.
bool guarded(const std::function<void()>& action);
