#pragma once

#include <sys/types.h>

// A small process that outlives kiv by a moment: kiv tells it the process group of
// each command while the command runs, and when kiv ends in any way (a signal,
// SIGKILL included, a crash, a lost display) the kernel closes kiv's end of the
// socket and the watchdog ends the groups still listed: SIGTERM, then SIGKILL
// about a second later to what is left. Groups are listed only while kiv holds
// their leader unreaped, so the ids are still kiv's groups when they are signalled.
//
// main makes the one of the program. Where it could not start, watch and forget
// do nothing.
class GroupWatchdog
{
public:
    GroupWatchdog();
    ~GroupWatchdog();
    GroupWatchdog(const GroupWatchdog &) = delete;
    GroupWatchdog &operator=(const GroupWatchdog &) = delete;

    bool running() const { return m_socket >= 0; }
    // Reaps the short-lived process that started the watchdog (a moment after the
    // start, so that kiv does not wait for it); the first watch does it too.
    void collectStarter();

    void watch(pid_t group) { send('+', group); }
    void forget(pid_t group) { send('-', group); }

private:
    bool send(char op, pid_t group);

    int m_socket = -1;
    // The first of the two forks: it ends at once.
    pid_t m_starter = -1;
};
