#include "app/LauncherScreen.h"

#include "app/frmMain.h"
#include "builder/MScroll.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "widgets/MButton.h"
#include "widgets/MTextFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

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

void load(frmMain *window, const QString &program, const QByteArray &path)
{
    if (!path.isEmpty()) {
        const QFileInfo file(QFile::decodeName(path));
        if (!file.isFile() || !file.isReadable()) {
            complain(window, QCoreApplication::translate("kiv", "Cannot read the mc file %1.")
                                 .arg(QFile::decodeName(path)));
            return;
        }
    }
    QString error;
    if (!startInstance(program, path, &error)) {
        complain(window, QCoreApplication::translate("kiv", "Cannot start %1: %2").arg(program, error));
        return;
    }
    window->close();
}

} // namespace

bool startInstance(const QString &program, const QByteArray &path, QString *error)
{
    QProcess process;
    process.setProgram(program);
    // The path is one argument, blanks and all; no path starts another launcher.
    process.setArguments(path.isEmpty() ? QStringList() : QStringList{QFile::decodeName(path)});
    if (process.startDetached())
        return true;
    if (error)
        *error = process.errorString();
    return false;
}

void setupLauncher(frmMain *window, const QString &program)
{
    auto *scroll = new MScroll;
    auto *layout = new QVBoxLayout;
    auto *store = new MEnvVar(window);
    setVariableStore(store);
    setRunnerStore(store);
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
    scroll->addWidget(chooser);

    // Load starts this same executable itself: no shell, no search path, and no
    // pipe that would keep the launcher waiting for the new instance.
    auto *loadButton = new MButton;
    loadButton->configure(QByteArray("Load"), std::nullopt);
    QObject::disconnect(loadButton->pushButton(), &QPushButton::clicked, loadButton, &MButton::click);
    const QString executable = program.isEmpty() ? QCoreApplication::applicationFilePath() : program;
    QObject::connect(loadButton->pushButton(), &QPushButton::clicked, window,
                     [window, executable, store, pathIndex] {
                         load(window, executable, store->valueOf(pathIndex));
                     });
    scroll->addWidget(loadButton);

    window->setLayout(layout);
    window->setWindowTitle(QStringLiteral("Open a form \u2014 kiv"));
    // The label above the chooser is the wiki address, no name for it.
    chooser->lineEdit()->setAccessibleName(QStringLiteral("mc file"));
    // Typing should go to the path. Only now is the chooser inside the window
    // that will be activated.
    chooser->lineEdit()->setFocus();
}
