#include "shell/CommandQueue.h"

#include "shell/CommandProcess.h"
#include "shell/ScriptImage.h"

#include <QRandomGenerator>
#include <QTimer>

#include <csignal>
#include <utility>

CommandQueue::CommandQueue(CommandRunner &runner, QObject *parent) : QObject(parent), m_runner(runner) {}

CommandQueue::~CommandQueue()
{
    m_jobs.clear();
    if (m_process) {
        m_process->stop();
        m_process->waitBlocking();
        m_process.reset();
        m_runner.commandEnded();
    }
}

void CommandQueue::push(Job job)
{
    if (m_runner.refused())
        return;
    if (job.kind == Kind::User) {
        job.script = scriptText(m_runner.store(), job.command);
        // Ahead of the reads, behind the user's earlier commands.
        m_jobs.insert(firstRead(), std::move(job));
        // Shared reads make way once the one that runs has ended.
        if (m_process && !m_shared.empty() && !m_yielded) {
            m_yielded = true;
            m_process->signalBash(SIGUSR1);
        }
    } else {
        m_jobs.push_back(std::move(job));
    }
    if (!m_process && !m_startPosted) {
        // From the event loop: a job never starts inside its pusher's code.
        m_startPosted = true;
        QTimer::singleShot(0, this, [this] {
            m_startPosted = false;
            startNext();
        });
    }
}

std::deque<CommandQueue::Job>::iterator CommandQueue::firstRead()
{
    auto at = m_jobs.begin();
    while (at != m_jobs.end() && at->kind == Kind::User)
        ++at;
    return at;
}

void CommandQueue::stopRunning()
{
    if (m_process)
        m_process->stop();
}

void CommandQueue::dropQueued() { m_jobs.clear(); }

void CommandQueue::startNext()
{
    while (!m_process && !m_jobs.empty()) {
        if (m_runner.refused() || m_runner.running()) {
            // kiv is exiting, or a build-time read still runs: try again once it ends.
            if (m_runner.refused())
                m_jobs.clear();
            else
                m_runner.afterRunning([self = QPointer<CommandQueue>(this)] {
                    if (self)
                        QTimer::singleShot(0, self, [self] { self->startNext(); });
                });
            return;
        }
        m_current = std::move(m_jobs.front());
        m_jobs.pop_front();
        if (!m_current.context)
            continue;
        if (m_current.started)
            m_current.started();
        // The script lives as long as the run.
        const QByteArray shared = takeShared();
        m_script = std::make_unique<ScriptImage>(!shared.isEmpty() ? shared
                                                 : m_current.script ? *m_current.script
                                                                    : scriptText(m_runner.store(), m_current.command),
                                                 m_runner.memoryFileAllowed());
        auto process = std::make_unique<CommandProcess>();
        m_runner.prepare(*process);
        process->setKeepOutput(m_current.keepOutput);
        if (m_current.piece)
            connect(process.get(), &CommandProcess::outputArrived, this,
                    [this](const QByteArray &piece) {
                        if (m_current.piece)
                            m_current.piece(piece);
                    });
        int error = 0;
        if (!m_script->ok() || !process->start(m_script->path(), true, &error)) {
            m_script->ok() ? reportNotRun("/bin/bash", error) : reportNotRun("cannot hold the script", m_script->error());
            m_script.reset();
            CommandResult result;
            result.ran = true;
            if (!m_shared.empty()) {
                finishShared(result);
                return;
            }
            if (m_current.done)
                m_current.done(result);
            continue;
        }
        m_process = std::move(process);
        m_runner.commandStarted(m_process.get());
        connect(m_process.get(), &CommandProcess::finished, this, &CommandQueue::finish, Qt::QueuedConnection);
    }
    if (!m_process && m_jobs.empty())
        Q_EMIT idle();
}

// Reads that may share a bash with m_current and wait right behind it go with it:
// a panel of labels read every second starts one bash, not one each.
QByteArray CommandQueue::takeShared()
{
    m_shared.clear();
    if (m_current.kind != Kind::Read || !m_current.shareShell || m_current.piece)
        return {};
    while (!m_jobs.empty() && int(m_shared.size()) + 1 < kShared) {
        Job &next = m_jobs.front();
        if (next.kind != Kind::Read || !next.shareShell || next.piece)
            break;
        if (next.context) {
            if (next.started)
                next.started();
            m_shared.push_back(std::move(next));
        }
        m_jobs.pop_front();
    }
    if (m_shared.empty())
        return {};
    // Unguessable, so that no output is taken for the end of another's.
    m_separator = "\\000kiv:" + QByteArray::number(QRandomGenerator::system()->generate64(), 16) + "\\000";
    QList<QByteArray> commands{m_current.command};
    for (const Job &job : m_shared)
        commands.append(job.command);
    return sharedScriptText(m_runner.store(), commands, m_separator);
}

void CommandQueue::finish()
{
    if (!m_process)
        return;
    m_process->waitBlocking();
    CommandResult result;
    result.ran = true;
    result.output = m_process->output();
    result.dropped = m_process->droppedBytes();
    result.stopped = m_process->wasStopped();
    result.killed = m_process->neededKill();
    // Nothing may stop the process once it is gone (an exit asked for in the call back).
    m_runner.commandStarted(nullptr);
    m_process.reset();
    m_script.reset();
    if (!m_shared.empty()) {
        finishShared(result);
        return;
    }
    Job job = std::move(m_current);
    m_current = {};
    // The call back may end the form, and this queue with it.
    const QPointer<CommandQueue> self(this);
    if (job.done)
        job.done(result);
    // Hooks (an exit waiting for the end) run once the job's own call back is done.
    m_runner.commandEnded();
    if (self)
        startNext();
}

// Each read of a shared bash gets the output printed after its separator. After a
// stop, or when the reads made way for a user command, those that never started
// wait in the line again; the one a stop cut short keeps what it printed.
void CommandQueue::finishShared(const CommandResult &all)
{
    std::vector<Job> jobs;
    jobs.reserve(m_shared.size() + 1);
    jobs.push_back(std::move(m_current));
    for (Job &job : m_shared)
        jobs.push_back(std::move(job));
    m_shared.clear();
    m_current = {};
    const bool yielded = std::exchange(m_yielded, false);
    QByteArray separator = m_separator;
    separator.replace("\\000", QByteArray(1, '\0'));
    const QByteArrayView output(all.output);
    std::vector<QByteArray> outputs(jobs.size());
    size_t started = 0;
    for (qsizetype at = output.indexOf(separator); at >= 0 && started < jobs.size(); ++started) {
        const qsizetype from = at + separator.size();
        at = output.indexOf(separator, from);
        outputs[started] = output.sliced(from, (at < 0 ? output.size() : at) - from).toByteArray();
    }
    // A stop before the first read began ends that read, so that Escape is never lost.
    if (all.stopped && started == 0)
        started = 1;
    if ((all.stopped || yielded) && started < jobs.size()) {
        m_jobs.insert(firstRead(), std::make_move_iterator(jobs.begin() + qsizetype(started)),
                      std::make_move_iterator(jobs.end()));
        jobs.resize(started);
    }
    const QPointer<CommandQueue> self(this);
    for (size_t i = 0; i < jobs.size(); ++i) {
        CommandResult result = all;
        result.output = outputs[i];
        result.stopped = all.stopped && i + 1 == started;
        // A call back may end the form: the reads after it go with their context.
        if (jobs[i].done && jobs[i].context)
            jobs[i].done(result);
    }
    m_runner.commandEnded();
    if (self)
        startNext();
}
