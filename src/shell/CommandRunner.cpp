#include "shell/CommandRunner.h"

#include "shell/CommandProcess.h"
#include "shell/MEnvVar.h"
#include "shell/ScriptImage.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

MEnvVar *g_runnerStore = nullptr;
CommandProcess *g_running = nullptr;
bool g_refused = false;
qint64 g_limit = KIV_OUTPUT_LIMIT;
std::vector<std::function<void()>> g_afterRun;


bool eventLoopAvailable()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// Runs the calls waiting for the runner to be idle; a call may start a command.
void runAfterRunHooks()
{
    std::vector<std::function<void()>> hooks;
    hooks.swap(g_afterRun);
    for (const auto &hook : hooks)
        hook();
}

} // namespace

void setRunnerStore(MEnvVar *store) { g_runnerStore = store; }
MEnvVar *runnerStore() { return g_runnerStore; }

qint64 outputLimit() { return g_limit; }
void setOutputLimit(qint64 bytes) { g_limit = qMax<qint64>(0, bytes); }

bool commandRunning() { return g_running; }
void stopRunningCommand()
{
    if (g_running)
        g_running->stop();
}
void refuseCommands(bool refuse) { g_refused = refuse; }
bool commandsRefused() { return g_refused; }

void afterRunningCommand(std::function<void()> then)
{
    if (g_running)
        g_afterRun.push_back(std::move(then));
    else
        then();
}

void reportNotRun(const char *what, int err)
{
    std::fprintf(stderr, "kiv: cannot run command: %s: %s\n", what, std::strerror(err));
}

void commandStarted(CommandProcess *process) { g_running = process; }

void commandEnded()
{
    g_running = nullptr;
    runAfterRunHooks();
}

QByteArray scriptText(const QByteArray &command) { return scriptText(g_runnerStore, command); }

QByteArray scriptText(const MEnvVar *store, const QByteArray &command)
{
    QByteArray script("#!/bin/bash\n");
    if (store)
        script += store->exportAssignments();
    script += '\n';
    script += command;
    script += '\n';
    return script;
}

QByteArray sharedScriptText(const MEnvVar *store, const QList<QByteArray> &commands,
                            const QByteArray &separator)
{
    QByteArray script("#!/bin/bash\n");
    if (store)
        script += store->exportAssignments();
    // A trap waits for the subshell that runs; its own signal would not.
    script += "\ntrap 'exit 0' USR1\n";
    for (const QByteArray &command : commands) {
        script += "( printf '";
        script += separator;
        script += "'; eval ";
        MEnvVar::appendSingleQuoted(script, command + '\n');
        script += " )\n";
    }
    return script;
}

CommandResult runCommandLive(const QByteArray &command,
                             const std::function<void(const QByteArray &)> &onPiece, bool keepOutput)
{
    return runCommandLive(g_runnerStore, command, onPiece, keepOutput);
}

CommandResult runCommandLive(const MEnvVar *store, const QByteArray &command,
                             const std::function<void(const QByteArray &)> &onPiece, bool keepOutput)
{
    CommandResult result;
    if (g_refused)
        return result;
    if (g_running) {
        std::fprintf(stderr, "kiv: cannot run command: another command is still running\n");
        return result;
    }
    result.ran = true;
    // The variables are taken now; the script lives as long as the run.
    const ScriptImage script(scriptText(store, command));
    if (!script.ok()) {
        reportNotRun("cannot hold the script", script.error());
        return result;
    }
    CommandProcess process;
    process.setLimit(g_limit);
    process.setKeepOutput(keepOutput);
    if (onPiece)
        QObject::connect(&process, &CommandProcess::outputArrived, &process, onPiece);
    const bool loop = eventLoopAvailable();
    int error = 0;
    if (!process.start(script.path(), loop, &error)) {
        reportNotRun("/bin/bash", error);
        return result;
    }

    g_running = &process;
    if (loop) {
        QEventLoop events;
        QObject::connect(&process, &CommandProcess::finished, &events, &QEventLoop::quit);
        if (!process.isFinished())
            events.exec();
        // The loop ended early only because the application is quitting.
        if (!process.isFinished())
            process.stop();
    }
    process.waitBlocking();
    result.output = process.output();
    result.dropped = process.droppedBytes();
    result.stopped = process.wasStopped();
    result.killed = process.neededKill();
    commandEnded();
    return result;
}

QByteArray runCommand(const QByteArray &command) { return runCommand(g_runnerStore, command); }

QByteArray runCommand(const MEnvVar *store, const QByteArray &command)
{
    const CommandResult result = runCommandLive(store, command, {}, true);
    if (result.dropped > 0)
        std::fprintf(stderr, "kiv: a command printed more than %lld bytes: %lld bytes left out\n",
                     static_cast<long long>(g_limit), static_cast<long long>(result.dropped));
    return result.output;
}

OptText runCommand(const OptText &command)
{
    if (!command)
        return std::nullopt;
    return runCommand(*command);
}
