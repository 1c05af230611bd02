#include "app/LauncherScreen.h"

#include "app/frmMain.h"
#include "builder/MScroll.h"
#include "markup/Document.h"
#include "markup/LosslessText.h"
#include "shell/MEnvVar.h"
#include "widgets/MButton.h"
#include "widgets/MTextFile.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char *const kGreeting[] = {
    "Scegliere il file mc che si desidera avviare tramite KIV.",
    "Se non sai cos'e' un file mc ti preghiamo di visitare la nostra wiki:",
    ".:: " KIV_DOC_URL " ::.",
    "Choose the mc file you want to run with KIV. ",
    "If you don't know what a mc file is, please visit the wiki on:",
    ".:: " KIV_DOC_URL " ::.",
};

// Says why Load did nothing; the launcher stays open for another try. Not modal
// in the blocking sense, so the event loop keeps running.
void complain(frmMain *window, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("kiv"), text, QMessageBox::Ok, window);
    box->setObjectName(QStringLiteral("loadFailed"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void load(frmMain *window, const QByteArray &program, const QByteArray &path)
{
    if (!path.isEmpty()) {
        // The form is read here first: if it cannot open, this is where the person
        // is looking, not the new instance's standard error.
        // Only a regular file: reading a FIFO or a device would hang the launcher.
        struct stat st {};
        if (::stat(path.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
            complain(window, QCoreApplication::translate("kiv", "%1 is not a file that holds a form.")
                                 .arg(textFromBytes(path)));
            return;
        }
        QString reason;
        const std::unique_ptr<Document> document = loadDocument(path, &reason);
        if (!document || !document->root()) {
            complain(window, QCoreApplication::translate("kiv", "The form %1 cannot be opened: %2.")
                                 .arg(textFromBytes(path), reason));
            return;
        }
    }
    QString error;
    if (!startInstance(program, path, &error)) {
        complain(window, QCoreApplication::translate("kiv", "Cannot start %1: %2").arg(textFromBytes(program), error));
        return;
    }
    window->close();
}

void writeErrno(int fd)
{
    const int err = errno;
    while (::write(fd, &err, sizeof err) < 0 && errno == EINTR) {
    }
}

} // namespace

bool startInstance(const QByteArray &program, const QByteArray &path, QString *error)
{
    // The path is one argument, blanks, newlines and bytes that are not UTF-8
    // included; no path starts another launcher. Absolute and after "--", no name
    // can be read as an option of kiv's or of Qt's (--x.mc, -show, -reverse).
    const QByteArray executable = program.isEmpty() ? QByteArray("/proc/self/exe") : program;
    QByteArray arg0 = program.isEmpty() ? QByteArray("kiv") : program, arg1("--"), arg2 = path;
    if (!path.isEmpty() && !path.startsWith('/')) {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd))
            arg2 = QByteArray(cwd) + '/' + path;
    }
    char *argv[] = {arg0.data(), path.isEmpty() ? nullptr : arg1.data(), arg2.data(), nullptr};
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // Started twice over, so that the new instance is nobody's child here and
    // the launcher can end at once. A failed exec reports through the pipe, which
    // closes unwritten when exec succeeds.
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        const pid_t grandchild = ::fork();
        if (grandchild != 0) {
            if (grandchild < 0)
                writeErrno(report[1]);
            ::_exit(0);
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execv(executable.constData(), argv);
        writeErrno(report[1]);
        ::_exit(127);
    }
    ::close(report[1]);
    int err = child < 0 ? errno : 0;
    if (child > 0) {
        ssize_t n;
        while ((n = ::read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
        }
        if (n != ssize_t(sizeof err))
            err = 0;
        while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    ::close(report[0]);
    if (err && error)
        *error = QString::fromLocal8Bit(std::strerror(err));
    return err == 0;
}

void setupLauncher(frmMain *window, const QByteArray &program)
{
    auto *scroll = new MScroll;
    auto *layout = new QVBoxLayout;
    MEnvVar *store = &window->newSession().store();
    layout->addWidget(scroll, 0);
    layout->setContentsMargins(0, 0, 0, 0);

    for (const char *text : kGreeting)
        scroll->addWidget(new QLabel(QString::fromUtf8(text)));

    auto *chooser = new MTextFile;
    const int pathIndex = store->addVariable("pathfile", "");
    chooser->setVarIndex(pathIndex);
    chooser->setFilter("MC File (*.mc)");
    chooser->setMode("open");
    QObject::connect(chooser, &MTextFile::valueChanged, store, &MEnvVar::updateVal);
    QObject::connect(chooser, &MTextFile::valueDecoded, store, &MEnvVar::takeDecoded);
    scroll->addWidget(chooser);

    // Load starts this same executable itself: no shell, no search path, and no
    // pipe that would keep the launcher waiting for the new instance.
    auto *loadButton = new MButton;
    loadButton->configure(QByteArray("Load"), std::nullopt);
    QObject::disconnect(loadButton->pushButton(), &QPushButton::clicked, loadButton, &MButton::click);
    QObject::connect(loadButton->pushButton(), &QPushButton::clicked, window,
                     [window, program, store, pathIndex] { load(window, program, store->valueOf(pathIndex)); });
    scroll->addWidget(loadButton);

    window->setLayout(layout);
    window->setWindowTitle(QStringLiteral("Open a form \u2014 kiv"));
    // The label above the chooser is the wiki address, no name for it.
    chooser->lineEdit()->setAccessibleName(QStringLiteral("mc file"));
    // Typing should go to the path. Only now is the chooser inside the window
    // that will be activated.
    chooser->lineEdit()->setFocus();
}
