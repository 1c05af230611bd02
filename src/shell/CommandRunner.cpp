#include "shell/CommandRunner.h"

#include "shell/CommandProcess.h"
#include "shell/MEnvVar.h"
#include "shell/ScriptImage.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <cstdio>
#include <cstring>

namespace {

bool eventLoopAvailable()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

void CommandRunner::stopRunning()
{
    if (m_running)
        m_running->stop();
}

void CommandRunner::afterRunning(std::function<void()> then)
{
    if (m_running)
        m_afterRun.push_back(std::move(then));
    else
        then();
}

void reportNotRun(const char *what, int err)
{
    std::fprintf(stderr, "kiv: cannot run command: %s: %s\n", what, std::strerror(err));
}

// Runs the calls waiting for the runner to be idle; a call may start a command.
void CommandRunner::commandEnded()
{
    m_running = nullptr;
    std::vector<std::function<void()>> hooks;
    hooks.swap(m_afterRun);
    for (const auto &hook : hooks)
        hook();
}

void CommandRunner::prepare(CommandProcess &process) const
{
    process.setLimit(m_limit);
    process.setProcessFdAllowed(m_processFd);
    process.setWatchdog(m_watchdog);
}

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

CommandResult CommandRunner::runLive(const QByteArray &command,
                                     const std::function<void(const QByteArray &)> &onPiece, bool keepOutput)
{
    CommandResult result;
    if (m_refused)
        return result;
    if (m_running) {
        std::fprintf(stderr, "kiv: cannot run command: another command is still running\n");
        return result;
    }
    result.ran = true;
    // The variables are taken now; the script lives as long as the run.
    const ScriptImage script(scriptText(m_store, command), m_memoryFile);
    if (!script.ok()) {
        reportNotRun("cannot hold the script", script.error());
        return result;
    }
    CommandProcess process;
    prepare(process);
    process.setKeepOutput(keepOutput);
    if (onPiece)
        QObject::connect(&process, &CommandProcess::outputArrived, &process, onPiece);
    const bool loop = eventLoopAvailable();
    int error = 0;
    if (!process.start(script.path(), loop, &error)) {
        reportNotRun("/bin/bash", error);
        return result;
    }

    m_running = &process;
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

QByteArray CommandRunner::run(const QByteArray &command)
{
    const CommandResult result = runLive(command, {}, true);
    if (result.dropped > 0)
        std::fprintf(stderr, "kiv: a command printed more than %lld bytes: %lld bytes left out\n",
                     static_cast<long long>(m_limit), static_cast<long long>(result.dropped));
    return result.output;
}

OptText CommandRunner::run(const OptText &command)
{
    if (!command)
        return std::nullopt;
    return run(*command);
}
