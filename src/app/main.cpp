#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/ExitSignals.h"
#include "check/FormChecker.h"
#include "app/FormResults.h"
#include "app/WindowIdentity.h"
#include "app/frmMain.h"
#include "app/Translations.h"
#include "builder/RichTextResources.h"
#include "markup/LosslessText.h"
#include "shell/GroupWatchdog.h"
#include "shell/MEnvVar.h"

#include <QApplication>
#include <QMessageBox>

#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <unistd.h>
#include <vector>

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
        return checkFiles(line.arguments, stdout, line.standardInput);
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

// The form read before any display is opened: what is wrong with the file is
// said with or without one. Null when it cannot become a form; the message is
// then out.
std::optional<CheckedForm> readForm(const QByteArray &argument, bool standardInput)
{
    // The reader refuses FIFOs and devices without opening them.
    CheckedForm form = standardInput ? checkFormStandardInput() : checkFormFile(argument);
    if (standardInput) {
        // Read to its end: the form's commands get an empty input of their own.
        if (const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC); fd >= 0) {
            ::dup2(fd, STDIN_FILENO);
            ::close(fd);
        }
    }
    const QByteArray path = standardInput ? QByteArray(kStandardInputName) : argument;
    if (form.document && form.document->root())
        return form;
    const QString reason = form.document ? form.document->error() : form.readError;
    // The hint only where kiv --check tells more than the reason: a place in the
    // file, or further findings. Not for a file that cannot be read at all.
    QByteArray summary;
    int findings = 0;
    for (const Diagnostic &d : form.diagnostics)
        findings += 1 + int(d.notes.size());
    if (findings > 1 || (findings == 1 && form.diagnostics.front().offset > 0))
        summary = startupSummary(path, form);
    print(stderr, "kiv: " + path + ": " + bytesFromText(reason) + '\n' + summary);
    // A dialog for a person who started kiv from a desktop, where there is a display.
    if (!isatty(STDERR_FILENO)
        && (qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))) {
        exitCleanlyWithoutDisplay(true);
        int argc = 1;
        char name[] = "kiv";
        char *argv[] = {name, nullptr};
        QApplication app(argc, argv);
        setApplicationIdentity();
        tellThePerson(path, reason, summary);
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    // --help, --version and --check need no display: answered before Qt starts.
    const CommandLine early = parseCommandLine(argc, argv, true);
    if (const int status = answerWithoutWindow(early); status >= 0)
        return status;

    // A command's leader stays unreaped until its group has been dealt with; an
    // inherited ignored SIGCHLD would let the system reap it early.
    ::signal(SIGCHLD, SIG_DFL);
    // It ends the running command's group however kiv ends.
    GroupWatchdog watchdog;

    std::optional<CheckedForm> form;
    if (early.screen == CommandLine::Form) {
        form = readForm(early.arguments.front(), early.standardInput.front());
        if (!form)
            return 1;
    }

    // Qt sees only what stands before "--": after it every argument is a file,
    // even one that reads like Qt's own option (-reverse, -style=x).
    int split = 1;
    while (split < argc && QByteArrayView(argv[split]) != "--")
        ++split;
    std::vector<char *> qtArgv(argv, argv + split);
    qtArgv.push_back(nullptr);
    int qtArgc = split;

    QApplication::setStyle(QStringLiteral("Fusion"));
    exitCleanlyWithoutDisplay();
    QApplication app(qtArgc, qtArgv.data());
    // Qt has taken its own options away; what is left is kiv's.
    std::vector<char *> ownArgv(qtArgv.begin(), qtArgv.begin() + qtArgc);
    ownArgv.insert(ownArgv.end(), argv + split, argv + argc);
    ownArgv.push_back(nullptr);
    const CommandLine line = parseCommandLine(int(ownArgv.size()) - 1, ownArgv.data(), false);
    if (const int status = answerWithoutWindow(line); status >= 0)
        return status;
    setApplicationIdentity();
    installRichTextGuard();
    loadTranslations();
    frmMain window;
    window.setWatchdog(&watchdog);
    // Queued: exit() now would cut short the loop that waits for a command, and
    // before exec() (during the build) it would be forgotten.
    QObject::connect(&window, &frmMain::formEnded, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    // Before the build: its commands stop on a signal too.
    installExitSignals([&window](int status) { window.requestExit(status); });

    QString reason;
    QByteArray summary;
    const bool opened = form && line.screen == CommandLine::Form && line.arguments.front() == early.arguments.front()
            && line.standardInput.front() == early.standardInput.front()
        ? window.openForm(line.arguments.front(), std::move(*form), &reason, &summary)
        : window.open(line, &reason, &summary);
    if (!opened) {
        const QByteArray path = line.standardInput.front() ? QByteArray(kStandardInputName) : line.arguments.front();
        print(stderr, "kiv: " + path + ": " + bytesFromText(reason) + '\n' + summary);
        tellThePerson(path, reason, summary);
        return 1;
    }
    print(stderr, summary);
    if (line.watch)
        window.watchForm(line.arguments.front());
    window.setVisible(true);
    const int status = app.exec();
    // The form has ended: its window was closed (0), or kiv was asked to end by
    // SIGTERM (143), as kill $KIV_MY_PID from one of its commands does; during the
    // build too, with the values built so far. A dialog answers only with 0.
    const FormSession *session = window.session();
    const bool answered = status == 0 || (status == 143 && session && !session->isDialog());
    if (line.printValues && answered && session)
        print(stdout, valueAssignments(session->store()));
    return status;
}
