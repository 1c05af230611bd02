#pragma once

#include "markup/Element.h"
#include "shell/FormSession.h"

#include <QByteArray>
#include <QPointer>
#include <QWidget>

#include <optional>

class QPushButton;

// Above it a shell would read the status as its own (126, 127) or a signal's.
constexpr int kMaxExitStatus = 125;

// A push button that runs a shell command when clicked. The output streams to the
// text logs while the command runs; once it has ended outputEmit carries it whole
// (gathered only while something is connected) and clicked follows. A click while
// another user command runs or waits does nothing. A button with an exit status
// ends its form with it once its command has ended (at once without a command),
// unless a stop ended the command.
class MButton : public QWidget
{
    Q_OBJECT
public:
    explicit MButton(QWidget *parent = nullptr);

    // Called once, before the button is placed. A null title shows "OK"; a null
    // command is the empty command (clicking still runs the variable assignments).
    void configure(const OptText &title, const OptText &command);
    // The title alone, as configure sets it; the command stays.
    void setTitle(const OptText &title);

    // The form whose queue runs the command; without one a click runs nothing.
    void setSession(FormSession *session) { m_session = session; }

    QPushButton *pushButton() const { return m_pushButton; }
    const QByteArray &command() const { return m_command; }

    void setExitStatus(int status) { m_exitStatus = status; }
    std::optional<int> exitStatus() const { return m_exitStatus; }
    // What follows the end of the button's command: the form's end, for an exit
    // button whose command was not stopped.
    void commandEnded(bool stopped);

Q_SIGNALS:
    void outputEmit(const QByteArray &output);
    void clicked();

public Q_SLOTS:
    void click();

private:
    QPushButton *m_pushButton;
    QPointer<FormSession> m_session;
    QByteArray m_command{""};
    std::optional<int> m_exitStatus;
};
