#pragma once

// Call once before QApplication is created. From then on, a display that cannot be
// opened (none set, one that does not answer, a platform plugin that is missing)
// ends kiv with "kiv: cannot open a display ..." on standard error and status 1,
// instead of Qt's abort with its advice to reinstall the application.
// quiet: the status only, where what went wrong has been said already.
void exitCleanlyWithoutDisplay(bool quiet = false);
