#include "data/termination.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Termination
{

namespace
{

volatile std::sig_atomic_t g_signal = 0;
int g_pipe[2] = {-1, -1};
std::function<void(int)> g_handler;
QSocketNotifier* g_notifier = nullptr;
bool g_running = false;

const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void onSignal(int signo)
{
    const int saved = errno;
    g_signal = signo;
    const char byte = char(signo);
    if (g_pipe[1] >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    }
    errno = saved;
}

void runHandler()
{
    if (!g_signal || g_running || !g_handler)
        return;
    g_running = true;
    g_handler(int(g_signal));
}

} // namespace

void install(std::function<void(int)> handler)
{
    g_handler = std::move(handler);
    if (g_pipe[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
            g_pipe[0] = g_pipe[1] = -1;
    }
    if (g_pipe[0] >= 0 && !g_notifier && QCoreApplication::instance()) {
        g_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read);
        QObject::connect(g_notifier, &QSocketNotifier::activated, [] {
            char buf[16];
            while (::read(g_pipe[0], buf, sizeof buf) > 0) {
            }
            runHandler();
        });
    }
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kSignals)
        ::sigaction(s, &sa, nullptr);
}

void uninstall()
{
    struct sigaction sa = {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int s : kSignals)
        ::sigaction(s, &sa, nullptr);
    delete g_notifier;
    g_notifier = nullptr;
    g_handler = nullptr;
}

bool requested()
{
    return g_signal != 0;
}

void handlePending()
{
    runHandler();
}

void forget()
{
    g_signal = 0;
    g_running = false;
}

const char* stoppedMessage()
{
    return "程序收到结束信号，操作已中止，没有保存任何改动。";
}

} // namespace Termination
