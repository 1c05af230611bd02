#pragma once

#include "shell/CommandRunner.h"

#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CommandProcess;
class ScriptImage;

// The one line that every command of a shown form waits in: user commands (a
// click, a double click) and the reads of refreshes and timers. Jobs run one at
// a time, in order, except that a user command goes ahead of every queued read;
// each ends with a call back (its output, how it ended) from the event loop,
// never from inside another job. Nothing here waits in a nested event loop.
class CommandQueue : public QObject
{
    Q_OBJECT
public:
    enum class Kind { User, Read };
    struct Job
    {
        Kind kind = Kind::Read;
        QByteArray command;
        // A user command sees the variables of the moment it was asked for; a read,
        // those of the moment it starts. Filled by push.
        std::optional<QByteArray> script;
        bool keepOutput = true;
        // A read whose answer changes no variable: it may run in one bash with the
        // reads of this kind next to it in the line, each in a subshell of its own.
        bool shareShell = false;
        // A job whose context is gone before it starts is dropped; once started,
        // done is called whatever becomes of the context.
        QPointer<QObject> context;
        std::function<void()> started;                        // right before it starts
        std::function<void(const QByteArray &)> piece;        // output as it arrives
        std::function<void(const CommandResult &)> done;
    };

    // Jobs run through runner, with its variables, as its one running command.
    explicit CommandQueue(CommandRunner &runner, QObject *parent = nullptr);
    // A job still running is stopped and waited for: no command outlives its form.
    ~CommandQueue() override;

    void push(Job job);

    bool running() const { return bool(m_process); }
    bool userRunning() const { return m_process && m_current.kind == Kind::User; }
    // How many reads at most one bash runs together.
    static constexpr int kShared = 64;
    qsizetype queued() const { return qsizetype(m_jobs.size()); }
    // SIGTERM (then SIGKILL) to the running job only; queued jobs stay.
    void stopRunning();
    // Forgets every queued job; the running one goes on.
    void dropQueued();

Q_SIGNALS:
    // Emitted when a job ends and no other is waiting.
    void idle();

private:
    void startNext();
    std::deque<Job>::iterator firstRead();
    QByteArray takeShared();
    void finish();
    void finishShared(const CommandResult &all);

    CommandRunner &m_runner;
    std::deque<Job> m_jobs;
    Job m_current;
    std::vector<Job> m_shared;  // run in m_current's bash, after it
    QByteArray m_separator;     // before each one's output
    bool m_yielded = false;     // asked to end after its running read, for a user command
    std::unique_ptr<ScriptImage> m_script;
    std::unique_ptr<CommandProcess> m_process;
    bool m_startPosted = false;
};
