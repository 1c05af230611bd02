#pragma once

#include <QByteArray>
#include <QString>

class frmMain;

// Fills window with the launcher: the greeting, a file chooser bound to
// "pathfile" and a Load button that starts program (this executable when empty)
// on the chosen file and closes the window once it has started.
void setupLauncher(frmMain *window, const QString &program = QString());

// Starts program in the background with path as its one argument (none when path
// is empty). False, with the reason in error, when it could not be started.
bool startInstance(const QString &program, const QByteArray &path, QString *error);
