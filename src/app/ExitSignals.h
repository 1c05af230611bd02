#pragma once

// SIGTERM, SIGINT and SIGHUP end kiv cleanly at any moment, during the build too:
// the running command's group is stopped (SIGTERM, then SIGKILL), and the event
// loop ends with 128 + the signal's number (143, 130, 129), so that the code after
// QApplication::exec() still runs. The handler only writes the signal's number to
// a pipe that the event loop reads. Call once the application object exists.
void installExitSignals();

// Ends the event loop with status once the running command, if any, has been
// stopped; from now on no command starts. The first request decides the status.
void requestExit(int status);
bool exitRequested();
