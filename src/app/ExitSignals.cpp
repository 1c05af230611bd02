#include "app/ExitSignals.h"

#include "shell/CommandRunner.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};
std::optional<int> g_exitStatus;

constexpr int kExitSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int signal)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &number, 1);
    errno = saved;
}

void readSignals()
{
    unsigned char numbers[16];
    ssize_t n;
    while ((n = ::read(g_pipe[0], numbers, sizeof numbers)) > 0 || (n < 0 && errno == EINTR)) {
        for (ssize_t i = 0; i < n; ++i)
            requestExit(128 + numbers[i]);
    }
}

} // namespace

void installExitSignals()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, readSignals);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : kExitSignals)
        ::sigaction(signal, &action, nullptr);
}

bool exitRequested() { return g_exitStatus.has_value(); }

void requestExit(int status)
{
    if (g_exitStatus)
        return;
    g_exitStatus = status;
    refuseCommands();
    stopRunningCommand();
    // Posted, not called: exit() now would cut short the loop that waits for the
    // command, and before exec() (during the build) it would be forgotten.
    afterRunningCommand([status] {
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, [status] { QCoreApplication::exit(status); }, Qt::QueuedConnection);
    });
}
