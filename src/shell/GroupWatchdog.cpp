#include "shell/GroupWatchdog.h"
#include "shell/SpawnAttributes.h"

#include <QByteArray>

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// The watchdog is a plain sh (dash starts in a fraction of bash's time) in a
// session of its own, so that it costs kiv one spawn and no copy of its memory.
// It reads "+GROUP" and "-GROUP" lines from fd 3; at the end of input (kiv has
// ended) it ends the groups still listed: SIGTERM (and SIGCONT, as a stopped job
// would sit on it), SIGKILL a second later to what is left. Run in the background
// so that it is nobody's child in kiv; signals that could reach it by accident
// are ignored. dash's kill takes no "--" before a group.
constexpr char kWatch[] = R"(trap '' HUP INT QUIT TERM PIPE ALRM USR1 USR2 TSTP TTIN TTOU
(
g=' '
while IFS= read -r m; do
    case $m in
    +[0-9]*) case $g in *" ${m#+} "*) ;; *) g="$g${m#+} " ;; esac ;;
    -[0-9]*) case $g in *" ${m#-} "*) g="${g%% "${m#-}" *} ${g#* "${m#-}" }" ;; esac ;;
    esac
done <&3
[ "$g" != ' ' ] || exit 0
for p in $g; do kill -TERM "-$p"; kill -CONT "-$p"; done 2>/dev/null
i=0
while [ $i -lt 50 ]; do
    left=0
    for p in $g; do kill -0 "-$p" 2>/dev/null && left=1; done
    [ $left = 1 ] || exit 0
    sleep 0.02
    i=$((i + 1))
done
for p in $g; do kill -KILL "-$p"; done 2>/dev/null
) &
)";

} // namespace

void GroupWatchdog::watch(pid_t group)
{
    start();
    send('+', group);
}

bool GroupWatchdog::send(char op, pid_t group)
{
    collectStarter(false);
    if (m_socket < 0 || group <= 1)
        return false;
    QByteArray line(1, op);
    line += QByteArray::number(qint64(group));
    line += '\n';
    ssize_t n;
    while ((n = ::send(m_socket, line.constData(), size_t(line.size()), MSG_NOSIGNAL | MSG_DONTWAIT)) < 0
           && errno == EINTR) {
    }
    return n == ssize_t(line.size());
}

void GroupWatchdog::start()
{
    if (m_tried)
        return;
    m_tried = true;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return;
    // Nothing of kiv's stays open in it (a caller waiting for kiv's output must not
    // wait for it too): /dev/null for the standard three, the socket as fd 3.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd = 0; fd < 3; ++fd)
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    SpawnAttributes attributes(POSIX_SPAWN_SETSID);
    char arg0[] = "kiv-watchdog";
    char dashC[] = "-c";
    char *argv[] = {arg0, dashC, const_cast<char *>(kWatch), nullptr};
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, "/bin/sh", &actions, attributes.get(), argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return;
    }
    m_starter = child;
    m_socket = fds[0];
}

// The socket closes: the watchdog ends what is still listed, as at any end of kiv.
GroupWatchdog::~GroupWatchdog()
{
    collectStarter(true);
    if (m_socket >= 0)
        ::close(m_socket);
}

void GroupWatchdog::collectStarter(bool wait)
{
    if (m_starter <= 0)
        return;
    int status = 0;
    pid_t r;
    while ((r = ::waitpid(m_starter, &status, wait ? 0 : WNOHANG)) < 0 && errno == EINTR) {
    }
    if (r != 0)
        m_starter = -1;
}
