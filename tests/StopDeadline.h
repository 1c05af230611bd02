// A stop that does not end its command would keep the test waiting for the command
// for good. Past the deadline the test ends what it watches itself and can fail.
#pragma once

#include <QList>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace kivtest {

class StopDeadline
{
public:
    // Generous: a working stop takes about 2 s, but the machine may be slow and busy.
    explicit StopDeadline(int ms = 60000)
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_expired = true;
            endAll();
        });
        m_timer.start(ms);
    }
    // A job that left the group is never the stop's business; nothing the test
    // watched outlives a failed test.
    ~StopDeadline()
    {
        if (QTest::currentTestFailed())
            endAll();
        for (const pid_t pid : m_processes)
            ::kill(pid, SIGKILL);
    }
    StopDeadline(const StopDeadline &) = delete;
    StopDeadline &operator=(const StopDeadline &) = delete;

    // The command's group, found through one of its processes.
    void watchGroupOf(pid_t member)
    {
        const pid_t group = member > 0 ? ::getpgid(member) : -1;
        if (group > 1 && group != ::getpgrp())
            m_groups << group;
    }
    // A process that left the group.
    void watchProcess(pid_t pid)
    {
        if (pid > 0)
            m_processes << pid;
    }
    bool expired() const { return m_expired; }
    int seconds() const { return m_timer.interval() / 1000; }

private:
    void endAll()
    {
        // A group id is only reused once every member is gone: a live one is ours.
        for (const pid_t group : m_groups) {
            if (::kill(-group, 0) == 0)
                ::kill(-group, SIGKILL);
        }
        for (const pid_t pid : m_processes)
            ::kill(pid, SIGKILL);
    }

    QTimer m_timer;
    QList<pid_t> m_groups, m_processes;
    bool m_expired = false;
};

} // namespace kivtest

// Fails the test when the deadline had to end the run.
#define KIV_VERIFY_STOPPED_IN_TIME(deadline)                                                                         \
    QVERIFY2(!(deadline).expired(),                                                                                 \
             qPrintable(QStringLiteral("the stop had not ended the command after %1 s").arg((deadline).seconds())))
