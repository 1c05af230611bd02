#include "shell/CommandProcess.h"

#include "shell/GroupWatchdog.h"
#include "shell/SpawnAttributes.h"

#include <QMetaMethod>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// Read at most this much per wake-up of the event loop, so that a command that
// prints without pause cannot starve painting, timers or Escape.
constexpr qint64 kLoopBudget = 1 << 20;
constexpr qsizetype kPiece = 256 * 1024;
// How often the end is polled for where no process descriptor exists.
constexpr int kReapPollMs = 10;

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int openProcessFd(pid_t pid, bool allowed)
{
#ifdef SYS_pidfd_open
    if (allowed)
        return int(::syscall(SYS_pidfd_open, pid, 0));
#endif
    return -1;
}

// Some process of group is still alive; its leader, kept unreaped, does not count.
bool groupHasLiveMember(pid_t group)
{
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return ::kill(-group, 0) == 0;
    bool found = false;
    while (const dirent *entry = ::readdir(proc)) {
        char path[300];
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        std::snprintf(path, sizeof path, "/proc/%s/stat", entry->d_name);
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        char stat[512];
        const ssize_t n = ::read(fd, stat, sizeof stat - 1);
        ::close(fd);
        if (n <= 0)
            continue;
        stat[n] = 0;
        // "pid (name) state ppid pgrp ...": the name may hold anything, so from the last ')'.
        const char *end = std::strrchr(stat, ')');
        char state = 0;
        int parent = 0, pgrp = 0;
        if (end && std::sscanf(end + 1, " %c %d %d", &state, &parent, &pgrp) == 3 && pgrp == group
            && state != 'Z' && state != 'X') {
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found;
}

} // namespace

CommandProcess::CommandProcess(QObject *parent) : QObject(parent) {}

CommandProcess::~CommandProcess()
{
    if (m_pid > 0 && !m_finished)
        signalGroup(SIGKILL);
    if (m_pid > 0 && !m_reaped) {
        forget();
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (m_out >= 0)
        ::close(m_out);
    if (m_pidfd >= 0)
        ::close(m_pidfd);
}

bool CommandProcess::start(const QByteArray &scriptPath, bool eventLoop, int *error)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        *error = errno;
        return false;
    }
    // Only kiv's end waits for nothing; the command writes as usual.
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    // In a group of its own, a command reading kiv's terminal would be stopped for
    // good (SIGTTIN); a pipe or a file on standard input is handed on.
    if (::isatty(STDIN_FILENO))
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // A group of its own, so that a stop reaches every job of the command and
    // nothing else; default signals, whatever kiv blocks or catches.
    SpawnAttributes attributes(POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(attributes.get(), 0);

    char arg0[] = "/bin/bash";
    char *argv[] = {arg0, const_cast<char *>(scriptPath.constData()), nullptr};
    // A signal that ends kiv between the spawn and the listing would leave the
    // group to run on: the watchdog starts first (that takes milliseconds), and
    // signals wait until the group is listed.
    if (m_watchdog)
        m_watchdog->start();
    sigset_t all, before;
    sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &before);
    const int spawned = ::posix_spawn(&m_pid, "/bin/bash", &actions, attributes.get(), argv, environ);
    if (spawned == 0 && m_watchdog)
        m_watchdog->watch(m_pid);
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        m_pid = -1;
        *error = spawned;
        return false;
    }
    m_out = fds[0];
    m_pidfd = openProcessFd(m_pid, m_processFdAllowed);

    if (eventLoop) {
        m_outNotifier = new QSocketNotifier(m_out, QSocketNotifier::Read, this);
        connect(m_outNotifier, &QSocketNotifier::activated, this, [this] {
            readOutput(kLoopBudget);
            checkFinished();
        });
        if (m_pidfd >= 0) {
            m_endNotifier = new QSocketNotifier(m_pidfd, QSocketNotifier::Read, this);
            connect(m_endNotifier, &QSocketNotifier::activated, this, [this] {
                noteExit();
                checkFinished();
            });
        }
        m_timer = new QTimer(this);
        m_timer->setSingleShot(true);
        connect(m_timer, &QTimer::timeout, this, [this] {
            tick();
            checkFinished();
            scheduleTick();
        });
        scheduleTick();
    }
    return true;
}

void CommandProcess::readOutput(qint64 budget)
{
    const bool streaming = isSignalConnected(QMetaMethod::fromSignal(&CommandProcess::outputArrived));
    while (m_out >= 0 && budget > 0) {
        const qint64 room = m_limit - m_kept;
        ssize_t n;
        if (room <= 0 || (!m_keep && !streaming)) {
            // Nobody wants the bytes, or they are past the limit: drain, so that the
            // command is never blocked on a full pipe, and count.
            char sink[64 * 1024];
            n = ::read(m_out, sink, sizeof sink);
            if (n > 0) {
                const qint64 under = qBound(qint64(0), room, qint64(n));
                m_kept += under;
                m_dropped += n - under;
            }
        } else if (!streaming) {
            // Straight into the gathered output, which grows geometrically.
            const qsizetype used = m_output.size();
            if (m_output.capacity() - used < 16 * 1024)
                m_output.reserve(qMax<qsizetype>(64 * 1024, used * 2));
            const qsizetype want = qsizetype(qMin<qint64>(room, m_output.capacity() - used));
            m_output.resize(used + want);
            n = ::read(m_out, m_output.data() + used, size_t(want));
            m_output.resize(used + qMax<ssize_t>(n, 0));
            if (n > 0)
                m_kept += n;
        } else {
            if (m_piece.isEmpty())
                m_piece.resize(kPiece);
            n = ::read(m_out, m_piece.data(), size_t(qMin<qint64>(room, kPiece)));
            if (n > 0) {
                m_kept += n;
                const QByteArray piece(m_piece.constData(), n);
                if (m_keep)
                    m_output += piece;
                Q_EMIT outputArrived(piece);
            }
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        if (n <= 0) {
            closeOutput();
            return;
        }
        budget -= n;
    }
}

void CommandProcess::closeOutput()
{
    delete m_outNotifier;
    m_outNotifier = nullptr;
    if (m_out >= 0)
        ::close(m_out);
    m_out = -1;
    m_piece = QByteArray();
    if (m_output.capacity() > 2 * m_output.size() + 4096)
        m_output.squeeze();
}

void CommandProcess::noteExit()
{
    if (m_exited || m_pid <= 0)
        return;
    if (m_pidfd >= 0) {
        pollfd fd{m_pidfd, POLLIN, 0};
        if (::poll(&fd, 1, 0) <= 0)
            return;
    } else {
        // Seen, not reaped: the leader stays until the run is over.
        siginfo_t info{};
        int r;
        while ((r = ::waitid(P_PID, id_t(m_pid), &info, WEXITED | WNOHANG | WNOWAIT)) < 0 && errno == EINTR) {
        }
        if (r < 0 && errno == ECHILD) {
            // kiv ignores SIGCHLD (inherited), so the system reaped it already.
            m_exited = m_reaped = true;
            forget();
            return;
        }
        if (r < 0 || info.si_pid != m_pid)
            return;
    }
    m_exited = true;
    delete m_endNotifier;
    m_endNotifier = nullptr;
}

void CommandProcess::reap()
{
    if (m_reaped || m_pid <= 0)
        return;
    // The watchdog lets go of the group before its id can be given to anyone else.
    forget();
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_reaped = true;
    if (m_pidfd >= 0)
        ::close(m_pidfd);
    m_pidfd = -1;
}

void CommandProcess::signalGroup(int signal)
{
    // While bash is unreaped its group id cannot have passed to another group.
    if (m_pid > 0 && !m_reaped)
        ::kill(-m_pid, signal);
}

void CommandProcess::forget()
{
    if (m_watchdog)
        m_watchdog->forget(m_pid);
}

void CommandProcess::signalBash(int signal)
{
    if (m_pid > 0 && !m_reaped)
        ::kill(m_pid, signal);
}

void CommandProcess::stop()
{
    if (m_finished || m_stopping || m_pid <= 0)
        return;
    m_stopping = true;
    // SIGCONT too: a stopped job would otherwise sit on the SIGTERM until the kill.
    signalGroup(SIGTERM);
    signalGroup(SIGCONT);
    m_killAt = nowMs() + kKillDelayMs;
    scheduleTick();
}

void CommandProcess::killWhatIsLeft()
{
    if (!m_reaped && (!m_exited || groupHasLiveMember(m_pid))) {
        signalGroup(SIGKILL);
        m_killNeeded = true;
    }
    m_killed = true;
}

void CommandProcess::tick()
{
    if (!m_exited && m_pidfd < 0)
        noteExit();
    if (m_stopping && !m_killed && nowMs() >= m_killAt)
        killWhatIsLeft();
}

int CommandProcess::pollTimeout() const
{
    if (m_finished)
        return -1;
    int timeout = -1;
    if (!m_exited && m_pidfd < 0)
        timeout = kReapPollMs;
    if (m_stopping && !m_killed) {
        const int left = int(qBound<qint64>(0, m_killAt - nowMs(), qint64(INT_MAX)));
        timeout = timeout < 0 ? left : qMin(timeout, left);
    }
    return timeout;
}

void CommandProcess::scheduleTick()
{
    if (!m_timer)
        return;
    const int timeout = pollTimeout();
    if (timeout < 0)
        m_timer->stop();
    else
        m_timer->start(timeout);
}

void CommandProcess::checkFinished()
{
    if (m_finished)
        return;
    // Once the group is killed, a process that left it (setsid) cannot keep the run
    // going by holding the output: what is in the pipe is read, the rest is cut.
    if (m_killed && m_exited && m_out >= 0) {
        readOutput(LLONG_MAX);
        closeOutput();
    }
    if (m_out >= 0 || !m_exited)
        return;
    reap();
    m_finished = true;
    if (m_timer)
        m_timer->stop();
    Q_EMIT finished();
}

void CommandProcess::waitBlocking()
{
    if (m_outNotifier)
        m_outNotifier->setEnabled(false);
    if (m_endNotifier)
        m_endNotifier->setEnabled(false);
    if (m_timer)
        m_timer->stop();
    while (!m_finished) {
        pollfd fds[2];
        nfds_t n = 0;
        if (m_out >= 0)
            fds[n++] = {m_out, POLLIN, 0};
        const bool watchEnd = !m_exited && m_pidfd >= 0;
        if (watchEnd)
            fds[n++] = {m_pidfd, POLLIN, 0};
        if (::poll(fds, n, pollTimeout()) < 0 && errno != EINTR)
            ::poll(nullptr, 0, kReapPollMs);  // never spin on a failing poll
        if (m_out >= 0)
            readOutput(LLONG_MAX);
        if (watchEnd && (fds[n - 1].revents & POLLIN))
            noteExit();
        tick();
        checkFinished();
    }
}
