#pragma once

#include "markup/Element.h"

class MEnvVar;

// Makes store the one whose variables go in front of every command.
void setRunnerStore(MEnvVar *store);
MEnvVar *runnerStore();

// Runs command with every variable of the store set, through a private script file
// run by /bin/bash, and returns its whole standard output. Nothing for a null
// command; the empty text when the command could not be run (a message goes to
// standard error). Standard input, standard error and the current directory are
// the process's own.
OptText runCommand(const OptText &command);
QByteArray runCommand(const QByteArray &command);

// The exact bytes of the script that runCommand writes for command.
QByteArray scriptText(const QByteArray &command);
