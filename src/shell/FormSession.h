#pragma once

#include "markup/Element.h"
#include "shell/CommandRunner.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <unordered_map>
#include <vector>

class CommandQueue;
class MEnvVar;
class MOHandler;
class QPushButton;
#include <QTabWidget>

#include <optional>

// What one open form holds while it lives: its variables, the handler that takes
// its commands' output, and what its build needs to remember. Owned by the window
// that shows the form (or by a test); builders and widgets are given it, so a
// second form can follow the first in the same process.
class FormSession : public QObject
{
    Q_OBJECT
public:
    explicit FormSession(QObject *parent = nullptr);
    ~FormSession() override;

    MEnvVar &store() const { return *m_store; }
    // Runs the form's commands, one at a time, with its variables.
    CommandRunner &runner() const { return m_runner; }
    MOHandler &output() const { return *m_output; }
    // Every command of the shown form waits here.
    CommandQueue &queue() const { return *m_queue; }

    // The element's text run as a command with the form's variables set, output
    // trimmed; a value written as an attribute is taken as it is.
    OptText value(const Element *element) const;
    // The whole output of the element's own command, untrimmed (read ahead too).
    OptText output(const Element *element) const;
    // The value of the element's first child named name, evaluated the same way.
    OptText attribute(const Element *element, const char *name) const;
    // The element's text (no name) or its attribute as written, not run: a command for later.
    OptText written(const Element *element, const char *name = nullptr) const;
    // Called with every name looked up through the session (tests learn from it
    // which attributes each builder reads).
    using ReadObserver = void (*)(const Element *element, const char *name);
    void setReadObserver(ReadObserver observer) { m_observer = observer; }
    // Outputs read ahead for a refresh, by element: while set, value() answers
    // from them instead of running a command (trimmed as it trims).
    void setReadAhead(std::unordered_map<const Element *, OptText> outputs) { m_readAhead = std::move(outputs); }
    void clearReadAhead() { m_readAhead.clear(); }

    // A build-time read: command run now with the form's variables, whole output.
    OptText run(const OptText &command) const;

    // The tab widget that the next "tab" element joins, if any; a destroyed one
    // reads as none.
    QTabWidget *pendingTab() const { return m_pendingTab; }
    void setPendingTab(QTabWidget *tabs);

    // The window that shows the running bar while a user command runs.
    QWidget *barWindow() const { return m_barWindow; }
    void setBarWindow(QWidget *window);

    // Keeps a widget that is never shown (a global's box) for the life of the form.
    void keepHidden(QWidget *widget);
    const std::vector<std::unique_ptr<QWidget>> &hiddenWidgets() const { return m_hidden; }

    // A form with a button that ends it answers like a dialog: Return presses the
    // first button that ends it with 0 (the accept button), Escape and closing end
    // it with 1, and only 0 counts as an answer.
    void addExitButton(QPushButton *button, int status);
    bool isDialog() const { return m_dialog; }
    QPushButton *acceptButton() const;
    // How the form ends; none while it runs. The first request decides: the running
    // command is stopped, no other starts, and ended follows once none runs.
    void requestExit(int status);
    std::optional<int> exitStatus() const { return m_exitStatus; }

Q_SIGNALS:
    void ended(int status);

private:
    bool m_dialog = false;
    QPointer<QPushButton> m_acceptButton;
    std::optional<int> m_exitStatus;

    std::vector<std::unique_ptr<QWidget>> m_hidden;
    std::unordered_map<const Element *, OptText> m_readAhead;
    MEnvVar *m_store;
    mutable CommandRunner m_runner;
    MOHandler *m_output;
    CommandQueue *m_queue;
    QPointer<QTabWidget> m_pendingTab;
    QPointer<QWidget> m_barWindow;
    ReadObserver m_observer = nullptr;
};
