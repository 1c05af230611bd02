#pragma once

#include <QByteArray>
#include <QString>
#include <QPointer>
#include <QWidget>

#include <optional>


class Element;
#include "shell/FormSession.h"
struct CheckedForm;
struct CommandLine;
class FindingsBar;
class GroupWatchdog;
class FormFileWatch;

// The one top-level window. setupForm chooses the screen from the command line.
class frmMain : public QWidget
{
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // The open form's session (null for the launcher and the notice).
    FormSession *session() const { return m_session; }
    // A fresh session for what the window is about to show.
    FormSession &newSession();
    // The program's watchdog, told the groups of every session's commands.
    void setWatchdog(GroupWatchdog *watchdog) { m_watchdog = watchdog; }

    // Fills the window for the screen that argv asks for. False when the mc file
    // could not be read or its root not built: error then says why ("reason", to be
    // reported with the file name) and the window holds nothing.
    bool setupForm(int argc, char **argv, QString *error = nullptr);
    // The same for a command line already read (a Run action); summary as for
    // openForm.
    bool open(const CommandLine &line, QString *error = nullptr, QByteArray *summary = nullptr);

    // The form of the mc file at path (bytes, as the system gives them). When the
    // file has mistakes that kiv --check would report, summary receives the line
    // that says so (see startupSummary); without summary it goes to standard error.
    bool openForm(const QByteArray &path, QString *error = nullptr, QByteArray *summary = nullptr);
    // The same for a form already read and checked.
    bool openForm(const QByteArray &path, CheckedForm form, QString *error = nullptr, QByteArray *summary = nullptr);
    // Rebuilds the open form in place whenever its file is saved (kiv --watch):
    // a running command is stopped first. A save with errors keeps the form and
    // shows them in a bar at the top, until a save without errors.
    void watchForm(const QByteArray &path);
    // That bar; null until a save has had errors.
    FindingsBar *findingsBar() const;
    void openLauncher();
    // first and second may be null.
    void openNotice(const char *first, const char *second);

    // Not shown once kiv is exiting (a signal during the build).
    void setVisible(bool visible) override;

    // Ends the open form with status (see FormSession::requestExit); formEnded
    // follows once no command runs.
    void requestExit(int status);

Q_SIGNALS:
    void formEnded(int status);

protected:
    // Closed while a command runs: the command is stopped first, then kiv exits
    // with status 0. A dialog ends with 1 instead.
    void closeEvent(QCloseEvent *event) override;
    // In a dialog, Return in a one-line input presses the accept button, and
    // Escape ends it with 1.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildForm(const QByteArray &path, CheckedForm form);
    void formSaved(const std::optional<QByteArray> &text);
    void rebuildWhenIdle();
    void showFindings(const QByteArray &lines);

    QPointer<FormSession> m_session;
    GroupWatchdog *m_watchdog = nullptr;
    QPointer<QObject> m_document;
    QByteArray m_formText;
    QPointer<FormFileWatch> m_watch;
    QPointer<FindingsBar> m_bar;
    // A save not yet rebuilt from: its bytes, or nothing when it cannot be read.
    std::optional<std::optional<QByteArray>> m_saved;
    bool m_rebuilding = false;
    bool m_stopping = false;
};

enum class StartMode { Launcher, Notice, Document };

// argv as QApplication left it, read as parseCommandLine reads it: no argument is
// the launcher, "-show" exactly is the notice, anything else names the mc file.
StartMode chooseMode(int argc, char **argv);

// Document mode once the file is read: a session of the window's own (its
// variable store starting with KIV_MY_PID, its output handler), and the form built
// from root into a fresh column that becomes the window's layout; the window shows
// the running bar during user commands.
void buildDocumentWindow(frmMain *window, const Element *root);
