#pragma once

#include <sys/types.h>

// A small process that outlives kiv by a moment: kiv tells it the process group of
// each command while the command runs, and when kiv ends in any way (a signal,
// SIGKILL included, a crash, a lost display) the kernel closes kiv's end of the
// socket and the watchdog ends the groups still listed: SIGTERM, then SIGKILL
// about a second later to what is left. Groups are listed only while kiv holds
// their leader unreaped, so the ids are still kiv's groups when they are signalled.
//
// Start it before any thread exists (it is forked). Without it (not started, or
// it could not be), watchGroup and forgetGroup do nothing.
bool startGroupWatchdog();
bool groupWatchdogRunning();
// Reaps the short-lived process that started the watchdog (a moment after the
// start, so that kiv does not wait for it); the first watchGroup does it too.
void collectGroupWatchdogStarter();

void watchGroup(pid_t group);
void forgetGroup(pid_t group);
