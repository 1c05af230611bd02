#pragma once

#include <functional>

// SIGTERM, SIGINT and SIGHUP end kiv cleanly at any moment, during the build too:
// endWith receives 128 + the signal's number (143, 130, 129) and is to stop the
// running command's group (SIGTERM, then SIGKILL) and end the event loop, so that
// the code after QApplication::exec() still runs. The handler only writes the
// signal's number to a pipe that the event loop reads. Call once the application
// object exists.
void installExitSignals(std::function<void(int status)> endWith);
