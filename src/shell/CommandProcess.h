#pragma once

#include <QByteArray>
#include <QObject>

#include <sys/types.h>

class GroupWatchdog;
class QSocketNotifier;
class QTimer;

// One run of bash on a script, in a process group of its own. Its output is read as
// it arrives and its end noticed without blocking: from the event loop (start with
// eventLoop true), or by waitBlocking() where no event loop runs. The run lasts
// until the output is closed and bash has ended.
class CommandProcess : public QObject
{
    Q_OBJECT
public:
    explicit CommandProcess(QObject *parent = nullptr);
    // A run still going is killed and reaped: no command outlives its runner.
    ~CommandProcess() override;

    // Output past limit bytes is read and counted, not kept or handed on.
    void setLimit(qint64 limit) { m_limit = limit; }
    // Off: output is only handed on (outputArrived), not gathered.
    void setKeepOutput(bool keep) { m_keep = keep; }

    // Runs "/bin/bash scriptPath"; stdin, stderr and the directory are kiv's own.
    // False (errno-style code in *error) when nothing could be started.
    bool start(const QByteArray &scriptPath, bool eventLoop, int *error);

    // SIGTERM to the whole group, SIGKILL about two seconds later to whatever of it
    // is left. The output read so far stays.
    void stop();
    // signal to bash alone, not its group, while it is kiv's to signal.
    void signalBash(int signal);
    // Returns once the run has finished, without an event loop.
    void waitBlocking();

    bool isFinished() const { return m_finished; }
    pid_t pid() const { return m_pid; }
    const QByteArray &output() const { return m_output; }
    qint64 droppedBytes() const { return m_dropped; }
    // stop() was called; SIGKILL found part of the group still there.
    bool wasStopped() const { return m_stopping; }
    bool neededKill() const { return m_killNeeded; }

    // Off: notice the end by polling, as on a kernel without process descriptors.
    void setProcessFdAllowed(bool allowed) { m_processFdAllowed = allowed; }
    // Told the group while it runs; none: nothing outlives kiv's end on its behalf.
    void setWatchdog(GroupWatchdog *watchdog) { m_watchdog = watchdog; }

    static constexpr int kKillDelayMs = 2000;

Q_SIGNALS:
    void outputArrived(const QByteArray &piece);
    void finished();

private:
    void readOutput(qint64 budget);
    void closeOutput();
    // bash has ended; it is reaped only when the run is over, so that its group id
    // stays kiv's for every signal until then.
    void noteExit();
    void reap();
    void forget();
    void signalGroup(int signal);
    void killWhatIsLeft();
    // The checks that time drives: the end where no process descriptor tells, the kill.
    void tick();
    void scheduleTick();
    void checkFinished();
    // Milliseconds until the next thing poll() must wake up for; -1: none.
    int pollTimeout() const;

    pid_t m_pid = -1;
    int m_out = -1;
    int m_pidfd = -1;
    bool m_exited = false;
    bool m_reaped = false;
    bool m_finished = false;
    bool m_stopping = false;
    bool m_killed = false;
    bool m_killNeeded = false;
    bool m_keep = true;
    bool m_processFdAllowed = true;
    GroupWatchdog *m_watchdog = nullptr;
    qint64 m_limit = 0;
    qint64 m_kept = 0;
    qint64 m_dropped = 0;
    qint64 m_killAt = 0;  // steady clock, ms
    QByteArray m_output{""};
    QByteArray m_piece;
    QSocketNotifier *m_outNotifier = nullptr;
    QSocketNotifier *m_endNotifier = nullptr;
    QTimer *m_timer = nullptr;
};
