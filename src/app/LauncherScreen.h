#pragma once

#include <QByteArray>
#include <QString>

class frmMain;

// Fills window with the launcher: the greeting, a file chooser bound to
// "pathfile" and a Load button that reads the chosen file and, when it can become
// a form, starts program (this executable when empty) on it and closes the
// window; otherwise it says why and stays open.
void setupLauncher(frmMain *window, const QByteArray &program = QByteArray());

// Starts program in the background with path as its one argument (none when path
// is empty); both are bytes, passed on unchanged. False, with the reason in
// error, when it could not be started.
bool startInstance(const QByteArray &program, const QByteArray &path, QString *error);
