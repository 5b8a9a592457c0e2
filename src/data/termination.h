#pragma once

#include <functional>

// SIGTERM, SIGINT and SIGHUP end the program cleanly. The signal handler only
// records the signal and writes one byte into a socket pair; the program's
// own handling runs on the main thread, from the event loop (a socket
// notifier) or from a long operation that polls requested().
namespace Termination
{

// Installs the handlers once; `handler` receives the signal number. It runs
// at most once, on the main thread, and is expected not to return.
void install(std::function<void(int)> handler);
// Puts the default actions back (tests, and the end of main()).
void uninstall();

// A signal has arrived: long operations stop at their next step, and a
// transaction refuses to commit.
bool requested();
// Runs the handler now when a signal has arrived (for progress points).
void handlePending();
// Forgets a signal that has arrived (tests that send one to themselves).
void forget();

// The message for an operation stopped by a signal.
const char* stoppedMessage(); // "程序收到结束信号，操作已中止，没有保存任何改动。"

} // namespace Termination
