#pragma once

#include "markup/Element.h"

#include <functional>

class CommandProcess;
class MEnvVar;

// Makes store the one whose variables go in front of every command.
void setRunnerStore(MEnvVar *store);
MEnvVar *runnerStore();

// Runs command with every variable of the store set, through a private script run
// by /bin/bash in a process group of its own, and returns its whole standard output
// once the output is closed and bash has ended. The event loop keeps running
// meanwhile (a poll loop where there is none). Nothing for a null command; the
// empty text when the command could not be run (a message goes to standard error).
// Output past the limit is left out, and standard error says how much. Standard
// input, standard error and the current directory are the process's own.
OptText runCommand(const OptText &command);
QByteArray runCommand(const QByteArray &command);
// The same with the variables of store (null: none) instead of the runner store.
QByteArray runCommand(const MEnvVar *store, const QByteArray &command);

struct CommandResult
{
    bool ran = false;      // false: another command was running, or kiv is exiting
    QByteArray output{""}; // gathered only when asked for
    qint64 dropped = 0;    // bytes past the limit
    bool stopped = false;  // ended by a stop (Escape, Stop, closing)
    bool killed = false;   // the stop needed SIGKILL
};

// runCommand for callers that show output as it arrives: every piece up to the
// limit goes to onPiece. One command at a time: nothing runs while another does or
// once commands are refused.
CommandResult runCommandLive(const QByteArray &command,
                             const std::function<void(const QByteArray &)> &onPiece, bool keepOutput);

// The same run with the variables of store (null: none) instead of the runner store.
CommandResult runCommandLive(const MEnvVar *store, const QByteArray &command,
                             const std::function<void(const QByteArray &)> &onPiece, bool keepOutput);

// The exact bytes of the script that runCommand writes for command.
QByteArray scriptText(const QByteArray &command);
QByteArray scriptText(const MEnvVar *store, const QByteArray &command);
// One script for several commands: each runs in a subshell of its own, parsed on
// its own (a syntax error or an exit ends only that command), its output preceded
// by separator (printed through printf, so it must be plain). SIGUSR1 to the
// script's bash ends it once the command that runs has ended.
QByteArray sharedScriptText(const MEnvVar *store, const QList<QByteArray> &commands,
                            const QByteArray &separator);

// For runners of their own (the command queue): process is the one command that
// runs, the one that stopRunningCommand reaches, until commandEnded.
void commandStarted(CommandProcess *process);
void commandEnded();
// Says on standard error that a command could not be run.
void reportNotRun(const char *what, int err);

// How much output of one command is kept; the rest is drained and counted.
qint64 outputLimit();
void setOutputLimit(qint64 bytes);

bool commandRunning();
// SIGTERM to the running command's group, SIGKILL about 2 s later to what is left.
void stopRunningCommand();
// kiv is on its way out: no command starts any more.
void refuseCommands(bool refuse = true);
bool commandsRefused();
// Calls then once no command runs: at once, or when the running one has ended.
void afterRunningCommand(std::function<void()> then);
