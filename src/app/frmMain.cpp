#include "app/frmMain.h"

#include "app/CommandLine.h"
#include "app/FindingsBar.h"
#include "app/FormFileWatch.h"
#include "builder/FormChecker.h"
#include "app/LauncherScreen.h"
#include "app/NoticeScreen.h"
#include "app/WindowIdentity.h"
#include "builder/AccessibleNames.h"
#include "builder/Builders.h"
#include "builder/FormRefresh.h"
#include "markup/Document.h"
#include "shell/BusyState.h"
#include "shell/CommandQueue.h"
#include "shell/FormSession.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"
#include "widgets/WidgetSetup.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
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
    m_session->runner().setWatchdog(m_watchdog);
    connect(m_session, &FormSession::ended, this, &frmMain::formEnded);
    return *m_session;
}

void frmMain::setVisible(bool visible)
{
    if (visible && m_session && m_session->exitStatus())
        return;
    QWidget::setVisible(visible);
}

void frmMain::requestExit(int status)
{
    if (m_session)
        m_session->requestExit(status);
    else
        Q_EMIT formEnded(status);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // Closing drops what waits; a running command is stopped first.
    if (m_session)
        m_session->queue().dropQueued();
    const bool dialog = m_session && m_session->isDialog();
    if (dialog || (m_session && m_session->runner().running())) {
        // The window stays until the event loop has ended.
        event->ignore();
        requestExit(dialog ? 1 : 0);
        return;
    }
    QWidget::closeEvent(event);
}

void frmMain::keyPressEvent(QKeyEvent *event)
{
    // Here come only the keys that the focused widget left alone; a text area
    // keeps Return, an open list its Return and Escape. Outside a dialog Escape
    // stops a running read (a user command's Escape never gets here).
    if (m_session && !m_session->isDialog() && event->key() == Qt::Key_Escape && !event->modifiers()
        && m_session->queue().running()) {
        m_session->queue().stopRunning();
        return;
    }
    if (!m_session || !m_session->isDialog() || event->modifiers() & ~Qt::KeypadModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    const QWidget *focus = focusWidget();
    const bool oneLine = qobject_cast<const QLineEdit *>(focus) || qobject_cast<const QAbstractSpinBox *>(focus)
        || qobject_cast<const QAbstractSlider *>(focus) || qobject_cast<const QComboBox *>(focus);
    QPushButton *accept = m_session->acceptButton();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (oneLine && accept && accept->isVisible()) {
            // A value typed just now may still turn the button on or off.
            FormRefresh::of(*m_session).whenSettled([accept = QPointer<QPushButton>(accept)] {
                if (accept && accept->isVisible() && accept->isEnabled())
                    accept->click();
            });
            return;
        }
        break;
    case Qt::Key_Escape:
        // During a user command Escape stops it; a read ends with the form.
        if (!m_session->queue().userRunning()) {
            requestExit(1);
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
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
    FormRefresh::of(*session).start();
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
    buildForm(path, std::move(form));
    return true;
}

void frmMain::buildForm(const QByteArray &path, CheckedForm form)
{
    m_formText = form.text;
    buildDocumentWindow(this, form.document->root());
    // Read after the build: a title command sees the form's initial values.
    // A form from standard input has no file name to fall back on.
    setWindowTitle(formTitle(*m_session, form.document->root(), form.standardInput ? QByteArray("kiv") : path));
    // Widgets may refer back to their elements after the build: the tree lives
    // as long as the window.
    m_document = new DocumentKeeper(std::move(form.document), this);
}

void frmMain::watchForm(const QByteArray &path)
{
    delete m_watch;
    m_watch = new FormFileWatch(path, m_formText, this);
    connect(m_watch, &FormFileWatch::saved, this, &frmMain::formSaved);
}

FindingsBar *frmMain::findingsBar() const { return m_bar; }

void frmMain::formSaved(const std::optional<QByteArray> &text)
{
    m_saved = text;
    rebuildWhenIdle();
}

void frmMain::rebuildWhenIdle()
{
    // A build reading its commands picks up a newer save when it is done.
    if (!m_saved || !m_watch || m_rebuilding || (m_session && m_session->exitStatus()))
        return;
    // A dialog of the form (a file or colour picker) waits on the stack of a
    // widget that the rebuild would delete.
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(250, this, &frmMain::rebuildWhenIdle);
        return;
    }
    const QByteArray path = m_watch->path();
    // An unreadable file is read again, for the checker's own words on why.
    CheckedForm form = *m_saved ? checkFormText(**m_saved) : checkFormFile(path);
    const bool errors = std::any_of(form.diagnostics.begin(), form.diagnostics.end(),
                                    [](const Diagnostic &d) { return d.kind == Diagnostic::Error; });
    if (errors || !form.document || !form.document->root()) {
        m_saved.reset();
        const QByteArray lines = formatDiagnostics(path, form);
        // For an author who started kiv from a terminal, where the editor is.
        const QByteArray said = "kiv: " + path + ": the saved file has errors; the form stays as it was\n" + lines;
        std::fwrite(said.constData(), 1, size_t(said.size()), stderr);
        showFindings(lines);
        return;
    }
    if (m_session && m_session->runner().running()) {
        // It ends into its widgets: the rebuild follows from the event loop once
        // it has ended.
        if (!m_stopping) {
            m_stopping = true;
            // Nothing that waits starts once the running command has ended.
            m_session->queue().dropQueued();
            m_session->runner().stopRunning();
            m_session->runner().afterRunning([self = QPointer<frmMain>(this)] {
                if (self)
                    QTimer::singleShot(0, self, [self] {
                        self->m_stopping = false;
                        self->rebuildWhenIdle();
                    });
            });
        }
        return;
    }
    m_saved.reset();
    m_rebuilding = true;
    if (m_bar)
        m_bar->hide();
    // The old form goes before the new one is read: widgets, then the session
    // they used, then the elements they pointed to.
    delete layout();
    for (QWidget *child : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (child != m_bar)
            delete child;
    const QByteArray summary = startupSummary(path, form);
    QObject *oldDocument = m_document;
    buildForm(path, std::move(form));
    delete oldDocument;
    // As at start-up the keyboard is in the form, once the layout has shown the
    // new widgets (queued before this).
    QMetaObject::invokeMethod(
        this, [this] {
            if (isActiveWindow() && !focusWidget())
                focusNextChild();
        },
        Qt::QueuedConnection);
    std::fwrite(summary.constData(), 1, size_t(summary.size()), stderr);
    m_rebuilding = false;
    if (m_saved)
        QTimer::singleShot(0, this, &frmMain::rebuildWhenIdle);
}

void frmMain::showFindings(const QByteArray &lines)
{
    if (!m_bar)
        m_bar = new FindingsBar(this);
    m_bar->setFindings(lines);
    if (auto *column = qobject_cast<QBoxLayout *>(layout()); column && column->indexOf(m_bar) < 0)
        column->insertWidget(0, m_bar);
    m_bar->show();
}
