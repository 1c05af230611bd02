#include "app/CommandLine.h"
#include "builder/FormChecker.h"
#include "app/FormResults.h"
#include "app/WindowIdentity.h"
#include "app/frmMain.h"
#include "app/Translations.h"
#include "builder/RichTextResources.h"
#include "markup/LosslessText.h"
#include "shell/GroupWatchdog.h"
#include "shell/MEnvVar.h"

#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

// --- A display that cannot be opened ------------------------------------------
// From exitCleanlyWithoutDisplay() on, a display that cannot be opened (none set,
// one that does not answer, a platform plugin that is missing) ends kiv with
// "kiv: cannot open a display ..." on standard error and status 1, instead of Qt's
// abort with its advice to reinstall the application. Process-wide hooks like this
// one and the signals' below are main's alone.

// A message of Qt's, held back while the platform starts: when the start fails it
// explains why, when it succeeds it is passed on unchanged.
struct HeldMessage
{
    QtMsgType type;
    QByteArray category;
    QString text;
};

// Qt's message handler is one plain function for the whole process: so is its state.
QtMessageHandler g_previous = nullptr;
bool g_platformUp = false;
bool g_quiet = false;

QList<HeldMessage> &heldMessages()
{
    static QList<HeldMessage> messages;
    return messages;
}

[[noreturn]] void exitWithoutDisplay()
{
    if (g_quiet)
        std::_Exit(1);
    QByteArray text("kiv: cannot open a display (is DISPLAY or WAYLAND_DISPLAY set?)\n");
    for (const HeldMessage &message : heldMessages()) {
        // Qt's "could not load ... even though it was found" only repeats the failure.
        if (message.text.contains(QLatin1String("even though it was found")))
            continue;
        text += "kiv: " + bytesFromText(message.text).trimmed() + '\n';
        if (message.text.contains(QLatin1String("Could not find the Qt platform plugin")))
            text += "kiv: that platform's Qt plugin is not installed (Wayland: Debian package "
                    "qt6-wayland); QT_QPA_PLATFORM=xcb chooses X11\n";
    }
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
    // Quick exit: this runs inside QApplication's constructor, with Qt half set up.
    std::_Exit(1);
}

void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (!g_platformUp) {
        if (type == QtFatalMsg && text.contains(QLatin1String("platform plugin")))
            exitWithoutDisplay();
        if (type != QtFatalMsg) {
            heldMessages().append({type, QByteArray(context.category), text});
            return;
        }
    }
    g_previous(type, context, text);
}

// Runs inside QApplication's constructor once the platform plugin is up.
void platformStarted()
{
    g_platformUp = true;
    if (!g_previous)
        return;
    for (const HeldMessage &message : std::as_const(heldMessages())) {
        const char *category = message.category.isNull() ? nullptr : message.category.constData();
        const QMessageLogContext context(nullptr, 0, nullptr, category);
        g_previous(message.type, context, message.text);
    }
    heldMessages().clear();
}

// quiet: the status only, where what went wrong has been said already.
void exitCleanlyWithoutDisplay(bool quiet = false)
{
    g_quiet = quiet;
    if (!g_previous)
        g_previous = qInstallMessageHandler(handleMessage);
}

// --- Signals that end kiv ---------------------------------------------------------
// SIGTERM, SIGINT and SIGHUP end kiv cleanly at any moment, during the build too:
// endWith receives 128 + the signal's number (143, 130, 129) and is to stop the
// running command's group and end the event loop, so that the code after exec()
// still runs. The handler only writes the signal's number to a pipe that the event
// loop reads. Called once the application object exists.

// A signal handler can reach nothing but process-wide state: the self-pipe stays
// global, whereas what the exit means belongs to the form.
int g_pipe[2] = {-1, -1};

constexpr int kExitSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int signal)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &number, 1);
    errno = saved;
}

void readSignals(const std::function<void(int)> &endWith)
{
    unsigned char numbers[16];
    ssize_t n;
    while ((n = ::read(g_pipe[0], numbers, sizeof numbers)) > 0 || (n < 0 && errno == EINTR)) {
        for (ssize_t i = 0; i < n; ++i)
            endWith(128 + numbers[i]);
    }
}

void installExitSignals(std::function<void(int status)> endWith)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app,
                     [endWith = std::move(endWith)] { readSignals(endWith); });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : kExitSignals)
        ::sigaction(signal, &action, nullptr);
}

// --- Forms ----------------------------------------------------------------------

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

Q_COREAPP_STARTUP_FUNCTION(platformStarted)

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
