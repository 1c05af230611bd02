#include "app/LauncherScreen.h"
#include "app/frmMain.h"

void setupLauncher(frmMain *, const QString &) {}
bool startInstance(const QString &, const QByteArray &, QString *) { return false; }
