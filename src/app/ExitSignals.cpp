#include "app/ExitSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A signal handler can reach nothing but process-wide state: the self-pipe stays
// global, whereas what the exit means belongs to the form.
int g_pipe[2] = {-1, -1};

constexpr int kExitSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int signal)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &number, 1);
    errno = saved;
}

void readSignals(const std::function<void(int)> &endWith)
{
    unsigned char numbers[16];
    ssize_t n;
    while ((n = ::read(g_pipe[0], numbers, sizeof numbers)) > 0 || (n < 0 && errno == EINTR)) {
        for (ssize_t i = 0; i < n; ++i)
            endWith(128 + numbers[i]);
    }
}

} // namespace

void installExitSignals(std::function<void(int status)> endWith)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app,
                     [endWith = std::move(endWith)] { readSignals(endWith); });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : kExitSignals)
        ::sigaction(signal, &action, nullptr);
}
