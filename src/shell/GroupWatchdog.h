#pragma once

#include <sys/types.h>

// A small process that outlives kiv by a moment: kiv tells it the process group of
// each command while the command runs, and when kiv ends in any way (a signal,
// SIGKILL included, a crash, a lost display) the kernel closes kiv's end of the
// socket and the watchdog ends the groups still listed: SIGTERM, then SIGKILL
// about a second later to what is left. Groups are listed only while kiv holds
// their leader unreaped, so the ids are still kiv's groups when they are signalled.
//
// main makes the one of the program; it starts at the first group to watch, so a
// form whose commands all wait for a click pays nothing for it at start-up. Where
// it could not start, watch and forget do nothing.
class GroupWatchdog
{
public:
    GroupWatchdog() = default;
    ~GroupWatchdog();
    GroupWatchdog(const GroupWatchdog &) = delete;
    GroupWatchdog &operator=(const GroupWatchdog &) = delete;

    // Starts it now, if it has not started: before a command is spawned, so that
    // the command's group is listed the moment it exists.
    void start();
    void watch(pid_t group);
    void forget(pid_t group) { send('-', group); }

private:
    // The first of the two forks ends at once; kiv collects it without waiting,
    // and waits for it only at the end.
    void collectStarter(bool wait);
    bool send(char op, pid_t group);

    int m_socket = -1;
    pid_t m_starter = -1;
    bool m_tried = false;
};
