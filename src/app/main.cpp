#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/ExitSignals.h"
#include "app/FormChecker.h"
#include "app/FormResults.h"
#include "app/WindowIdentity.h"
#include "app/frmMain.h"
#include "app/Translations.h"
#include "builder/RichTextResources.h"
#include "markup/LosslessText.h"
#include "shell/MEnvVar.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <unistd.h>

namespace {

int print(std::FILE *to, const QByteArray &text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), to);
    return std::fflush(to) == 0 ? 0 : 1;
}

// What needs no window is answered here: the exit status, or -1 when the command
// line asks for a window.
int answerWithoutWindow(const CommandLine &line)
{
    switch (line.action) {
    case CommandLine::Help:
        return print(stdout, usageText());
    case CommandLine::Version:
        return print(stdout, versionText());
    case CommandLine::UsageError:
        print(stderr, "kiv: " + line.error + "\nTry 'kiv --help' for more information.\n");
        return 2;
    case CommandLine::Check:
        return checkFiles(line.arguments, stdout);
    case CommandLine::Run:
        break;
    }
    return -1;
}

// Started from a desktop entry, a file manager or the launcher, kiv's standard
// error reaches nobody: the person who double-clicked the form gets a dialog.
void tellThePerson(const QByteArray &path, const QString &reason, const QByteArray &summary)
{
    if (isatty(STDERR_FILENO))
        return;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return; // nobody could see it, nor close it
    QMessageBox box(QMessageBox::Critical, QCoreApplication::translate("kiv", "kiv: the form cannot be opened"),
                    QCoreApplication::translate("kiv", "The form %1 cannot be opened: %2.").arg(textFromBytes(path), reason));
    // "kiv: FILE: 1 error; kiv --check FILE shows it" without what the box says already.
    const QByteArray prefix = "kiv: " + path + ": ";
    if (summary.startsWith(prefix))
        box.setInformativeText(textFromBytes(summary.mid(prefix.size()).trimmed()));
    box.setObjectName(QStringLiteral("formFailed"));
    box.exec();
}

} // namespace

int main(int argc, char **argv)
{
    // --help, --version and --check need no display: answered before Qt starts.
    if (const int status = answerWithoutWindow(parseCommandLine(argc, argv, true)); status >= 0)
        return status;

    QApplication::setStyle(QStringLiteral("Fusion"));
    exitCleanlyWithoutDisplay();
    QApplication app(argc, argv);
    // Qt has taken its own options away; what is left is kiv's.
    const CommandLine line = parseCommandLine(argc, argv, false);
    if (const int status = answerWithoutWindow(line); status >= 0)
        return status;
    setApplicationIdentity();
    installRichTextGuard();
    loadTranslations();
    // Before the build: its commands stop on a signal too.
    installExitSignals();

    frmMain window;
    QString reason;
    QByteArray summary;
    if (!window.open(line, &reason, &summary)) {
        const QByteArray &path = line.arguments.front();
        print(stderr, "kiv: " + path + ": " + bytesFromText(reason) + '\n' + summary);
        tellThePerson(path, reason, summary);
        return 1;
    }
    print(stderr, summary);
    // A signal during the build ends kiv before the form was ever used.
    const bool endedWhileBuilding = exitRequested();
    window.setVisible(true);
    const int status = app.exec();
    // The form has ended: its window was closed (0), or kiv was asked to end by
    // SIGTERM (143), as kill $KIV_MY_PID from one of its commands does.
    if (line.printValues && !endedWhileBuilding && (status == 0 || status == 143) && variableStore())
        print(stdout, valueAssignments(*variableStore()));
    return status;
}
