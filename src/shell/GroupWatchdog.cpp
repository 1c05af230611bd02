#include "shell/GroupWatchdog.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Message
{
    char op; // '+' watch, '-' forget
    pid_t group;
};

constexpr int kTermToKillMs = 1000;
constexpr int kCheckMs = 20;

bool anyLeft(const std::vector<pid_t> &groups)
{
    return std::any_of(groups.begin(), groups.end(), [](pid_t g) { return ::kill(-g, 0) == 0; });
}

[[noreturn]] void endGroups(std::vector<pid_t> groups)
{
    for (const pid_t g : groups) {
        ::kill(-g, SIGTERM);
        // A stopped job would sit on the SIGTERM.
        ::kill(-g, SIGCONT);
    }
    for (int waited = 0; waited < kTermToKillMs && anyLeft(groups); waited += kCheckMs)
        ::poll(nullptr, 0, kCheckMs);
    for (const pid_t g : groups) {
        if (::kill(-g, 0) == 0)
            ::kill(-g, SIGKILL);
    }
    ::_exit(0);
}

[[noreturn]] void watchUntilEnd(int socket)
{
    std::vector<pid_t> groups;
    for (;;) {
        Message m{};
        const ssize_t n = ::recv(socket, &m, sizeof m, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n != ssize_t(sizeof m))
            endGroups(groups); // end of file: kiv has ended
        if (m.group <= 1)
            continue;
        if (m.op == '+')
            groups.push_back(m.group);
        else
            groups.erase(std::remove(groups.begin(), groups.end(), m.group), groups.end());
    }
}

// The watchdog keeps nothing of kiv's open (a caller waiting for kiv's output
// must not wait for it too) and is out of reach of the terminal's and kiv's
// group signals: only the end of kiv ends it. Returns the socket's descriptor.
int detach(int socket)
{
    ::setsid();
    ::prctl(PR_SET_NAME, "kiv-watchdog");
    for (int s = 1; s < NSIG; ++s) {
        if (s != SIGKILL && s != SIGSTOP && s != SIGCHLD)
            ::signal(s, SIG_IGN);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // Started with a standard descriptor closed, kiv may have got the socket there.
    if (socket < 3)
        socket = ::fcntl(socket, F_DUPFD, 3);
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd) {
        if (null >= 0 && null != fd)
            ::dup2(null, fd);
    }
    if (socket != 3 && ::dup2(socket, 3) == 3)
        socket = 3;
    ::close_range(unsigned(socket) + 1, ~0U, 0);
    return socket;
}

} // namespace

bool GroupWatchdog::send(char op, pid_t group)
{
    collectStarter();
    if (m_socket < 0 || group <= 1)
        return false;
    const Message m{op, group};
    ssize_t n;
    while ((n = ::send(m_socket, &m, sizeof m, MSG_NOSIGNAL | MSG_DONTWAIT)) < 0 && errno == EINTR) {
    }
    return n == ssize_t(sizeof m);
}

GroupWatchdog::GroupWatchdog()
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0)
        return;
    // Twice over, so that the watchdog is nobody's child here and never a zombie of kiv.
    const pid_t child = ::fork();
    if (child == 0) {
        if (::fork() != 0)
            ::_exit(0);
        ::close(fds[0]);
        watchUntilEnd(detach(fds[1]));
    }
    ::close(fds[1]);
    if (child < 0) {
        ::close(fds[0]);
        return;
    }
    m_starter = child;
    m_socket = fds[0];
}

// The socket closes: the watchdog ends what is still listed, as at any end of kiv.
GroupWatchdog::~GroupWatchdog()
{
    collectStarter();
    if (m_socket >= 0)
        ::close(m_socket);
}

void GroupWatchdog::collectStarter()
{
    if (m_starter <= 0)
        return;
    int status = 0;
    while (::waitpid(m_starter, &status, 0) < 0 && errno == EINTR) {
    }
    m_starter = -1;
}
