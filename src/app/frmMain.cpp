#include "app/frmMain.h"

#include "app/CommandLine.h"
#include "app/ExitSignals.h"
#include "app/FormChecker.h"
#include "app/LauncherScreen.h"
#include "app/NoticeScreen.h"
#include "app/WindowIdentity.h"
#include "builder/AccessibleNames.h"
#include "builder/Builders.h"
#include "markup/Document.h"
#include "shell/BusyState.h"
#include "shell/CommandQueue.h"
#include "shell/CommandRunner.h"
#include "shell/FormSession.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"
#include "widgets/WidgetSetup.h"

#include <QCloseEvent>
#include <QVBoxLayout>

#include <cstdio>
#include <unistd.h>

namespace {

class DocumentKeeper : public QObject
{
public:
    DocumentKeeper(std::unique_ptr<Document> document, QObject *owner)
        : QObject(owner), m_document(std::move(document)) {}

private:
    std::unique_ptr<Document> m_document;
};

} // namespace

frmMain::frmMain(QWidget *parent) : QWidget(parent) {}

frmMain::~frmMain() = default;

FormSession &frmMain::newSession()
{
    delete m_session;
    m_session = new FormSession(this);
    return *m_session;
}

void frmMain::setVisible(bool visible)
{
    if (visible && exitRequested())
        return;
    QWidget::setVisible(visible);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // Closing drops what waits; a running command is stopped first.
    if (m_session)
        m_session->queue().dropQueued();
    if (commandRunning()) {
        event->ignore();
        requestExit(0);
        return;
    }
    QWidget::closeEvent(event);
}

StartMode chooseMode(int argc, char **argv)
{
    switch (parseCommandLine(argc, argv, false).screen) {
    case CommandLine::Launcher:
        return StartMode::Launcher;
    case CommandLine::Notice:
        return StartMode::Notice;
    case CommandLine::Form:
        break;
    }
    return StartMode::Document;
}

void buildDocumentWindow(frmMain *window, const Element *root)
{
    FormSession *session = &window->newSession();
    session->store().addVariable("KIV_MY_PID", QByteArray::number(qint64(getpid())));
    // Commands find the pictures (icons/ for src) wherever kiv was installed.
    qputenv("KIV_DATA_DIR", dataDirectory());

    auto *top = new QVBoxLayout;
    buildElement(*session, root, top);
    nameWidgetsByLabels(top, session->store());
    window->setLayout(top);
    session->setBarWindow(window);
}

bool frmMain::setupForm(int argc, char **argv, QString *error)
{
    return open(parseCommandLine(argc, argv, false), error);
}

bool frmMain::open(const CommandLine &line, QString *error, QByteArray *summary)
{
    const std::vector<QByteArray> &args = line.arguments;
    switch (line.screen) {
    case CommandLine::Launcher:
        openLauncher();
        return true;
    case CommandLine::Notice:
        openNotice(args.size() > 0 ? args[0].constData() : nullptr, args.size() > 1 ? args[1].constData() : nullptr);
        return true;
    case CommandLine::Form:
        break;
    }
    return openForm(args.front(), error, summary);
}

void frmMain::openLauncher() { setupLauncher(this); }

void frmMain::openNotice(const char *first, const char *second) { setupNotice(this, first, second); }

bool frmMain::openForm(const QByteArray &path, QString *error, QByteArray *summary)
{
    return openForm(path, checkFormFile(path), error, summary);
}

bool frmMain::openForm(const QByteArray &path, CheckedForm form, QString *error, QByteArray *summary)
{
    const QByteArray line = startupSummary(path, form);
    if (summary)
        *summary = line;
    else
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    if (!form.document || !form.document->root()) {
        if (error)
            *error = form.document ? form.document->error() : form.readError;
        return false;
    }
    buildDocumentWindow(this, form.document->root());
    // Read after the build: a title command sees the form's initial values.
    setWindowTitle(formTitle(*m_session, form.document->root(), path));
    // Widgets may refer back to their elements after the build: the tree lives
    // as long as the window.
    new DocumentKeeper(std::move(form.document), this);
    return true;
}
