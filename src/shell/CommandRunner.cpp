#include "shell/CommandRunner.h"

#include "shell/MEnvVar.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

MEnvVar *g_runnerStore = nullptr;

void complain(const char *what, int err)
{
    std::fprintf(stderr, "kiv: cannot run command: %s: %s\n", what, std::strerror(err));
}

bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// A private script file, removed when the object goes.
class ScriptFile
{
public:
    ScriptFile()
    {
        const char *dir = std::getenv("TMPDIR");
        if (!dir || !*dir)
            dir = "/tmp";
        m_path = QByteArray(dir) + "/kiv-XXXXXX";
        // mkostemp opens with O_EXCL and mode 0600: no planted link is followed and
        // no other user can read the values in it.
        m_fd = ::mkostemp(m_path.data(), O_CLOEXEC);
        m_error = m_fd < 0 ? errno : 0;
        m_created = m_fd >= 0;
    }
    ~ScriptFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_created)
            ::unlink(m_path.constData());
    }
    ScriptFile(const ScriptFile &) = delete;
    ScriptFile &operator=(const ScriptFile &) = delete;

    bool ok() const { return m_fd >= 0; }
    int error() const { return m_error; }
    const QByteArray &path() const { return m_path; }

    bool write(const QByteArray &content)
    {
        errno = 0;
        const bool good = writeAll(m_fd, content.constData(), content.size());
        if (!good)
            m_error = errno ? errno : EIO;
        const bool closed = ::close(m_fd) == 0;
        m_fd = -1;
        return good && closed;
    }

private:
    QByteArray m_path;
    int m_fd = -1;
    int m_error = 0;
    bool m_created = false;
};

// Reads fd to its end, growing the buffer geometrically so large outputs stay linear.
void readAll(int fd, QByteArray *out)
{
    qsizetype used = 0;
    out->resize(64 * 1024);
    for (;;) {
        if (out->size() - used < 32 * 1024)
            out->resize(out->size() * 2);
        const ssize_t n = ::read(fd, out->data() + used, size_t(out->size() - used));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        used += n;
    }
    out->resize(used);
    if (out->capacity() > 2 * used + 4096)
        out->squeeze();
}

} // namespace

void setRunnerStore(MEnvVar *store) { g_runnerStore = store; }
MEnvVar *runnerStore() { return g_runnerStore; }

QByteArray scriptText(const QByteArray &command)
{
    QByteArray script("#!/bin/bash\n");
    if (g_runnerStore)
        script += g_runnerStore->exportAssignments();
    script += '\n';
    script += command;
    script += '\n';
    return script;
}

QByteArray runCommand(const QByteArray &command)
{
    QByteArray output("");
    ScriptFile script;
    if (!script.ok()) {
        complain("cannot create a script file", script.error());
        return output;
    }
    if (!script.write(scriptText(command))) {
        complain("cannot write the script file", script.error());
        return output;
    }

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        complain("pipe", errno);
        return output;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    char arg0[] = "/bin/bash";
    char *argv[] = {arg0, const_cast<char *>(script.path().constData()), nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, "/bin/bash", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        complain("/bin/bash", spawned);
        return output;
    }
    readAll(fds[0], &output);
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (output.isNull())
        output = QByteArray("");
    return output;
}

OptText runCommand(const OptText &command)
{
    if (!command)
        return std::nullopt;
    return runCommand(*command);
}
