#pragma once

#include "markup/Element.h"

#include <functional>
#include <vector>

class CommandProcess;
class GroupWatchdog;
class MEnvVar;

struct CommandResult
{
    bool ran = false;      // false: another command was running, or kiv is exiting
    QByteArray output{""}; // gathered only when asked for
    qint64 dropped = 0;    // bytes past the limit
    bool stopped = false;  // ended by a stop (Escape, Stop, closing)
    bool killed = false;   // the stop needed SIGKILL
};

// Runs the commands of one form, one at a time, with the variables of its store
// (null: none) in front of every command. Owned by the form's session.
class CommandRunner
{
public:
    explicit CommandRunner(const MEnvVar *store = nullptr) : m_store(store) {}
    CommandRunner(const CommandRunner &) = delete;
    CommandRunner &operator=(const CommandRunner &) = delete;

    const MEnvVar *store() const { return m_store; }

    // Runs command through a private script run by /bin/bash in a process group of
    // its own, and returns its whole standard output once the output is closed and
    // bash has ended. The event loop keeps running meanwhile (a poll loop where there
    // is none). Nothing for a null command; the empty text when the command could
    // not be run (a message goes to standard error). Output past the limit is left
    // out, and standard error says how much. Standard input, standard error and the
    // current directory are the process's own.
    OptText run(const OptText &command);
    QByteArray run(const QByteArray &command);
    // run for callers that show output as it arrives: every piece up to the limit
    // goes to onPiece. Nothing runs while another command does or once refused.
    CommandResult runLive(const QByteArray &command, const std::function<void(const QByteArray &)> &onPiece,
                          bool keepOutput);

    // For runners of their own (the command queue): process is the one command that
    // runs, the one that stopRunning reaches, until commandEnded.
    void commandStarted(CommandProcess *process) { m_running = process; }
    void commandEnded();
    // Gives process this runner's limit and options.
    void prepare(CommandProcess &process) const;

    // How much output of one command is kept; the rest is drained and counted.
    qint64 outputLimit() const { return m_limit; }
    void setOutputLimit(qint64 bytes) { m_limit = qMax<qint64>(0, bytes); }
    // Off: behave as on a kernel without memory files or process descriptors.
    bool memoryFileAllowed() const { return m_memoryFile; }
    void setMemoryFileAllowed(bool allowed) { m_memoryFile = allowed; }
    void setProcessFdAllowed(bool allowed) { m_processFd = allowed; }
    void setWatchdog(GroupWatchdog *watchdog) { m_watchdog = watchdog; }

    bool running() const { return m_running; }
    // SIGTERM to the running command's group, SIGKILL about 2 s later to what is left.
    void stopRunning();
    // kiv is on its way out: no command starts any more.
    void refuse(bool refuse = true) { m_refused = refuse; }
    bool refused() const { return m_refused; }
    // Calls then once no command runs: at once, or when the running one has ended.
    void afterRunning(std::function<void()> then);

private:
    const MEnvVar *m_store;
    CommandProcess *m_running = nullptr;
    bool m_refused = false;
    bool m_memoryFile = true;
    bool m_processFd = true;
    GroupWatchdog *m_watchdog = nullptr;
    qint64 m_limit = KIV_OUTPUT_LIMIT;
    std::vector<std::function<void()>> m_afterRun;
};

// The exact bytes of the script that the runner writes for command.
QByteArray scriptText(const MEnvVar *store, const QByteArray &command);
// One script for several commands: each runs in a subshell of its own, parsed on
// its own (a syntax error or an exit ends only that command), its output preceded
// by separator (printed through printf, so it must be plain). SIGUSR1 to the
// script's bash ends it once the command that runs has ended.
QByteArray sharedScriptText(const MEnvVar *store, const QList<QByteArray> &commands,
                            const QByteArray &separator);
// Says on standard error that a command could not be run.
void reportNotRun(const char *what, int err);
