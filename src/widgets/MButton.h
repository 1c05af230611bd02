#pragma once

#include "markup/Element.h"
#include "shell/FormSession.h"

#include <QByteArray>
#include <QPointer>
#include <QWidget>


class QPushButton;

// A push button that runs a shell command when clicked. The output streams to the
// text logs while the command runs; once it has ended outputEmit carries it whole
// (gathered only while something is connected) and clicked follows. A click while
// another user command runs or waits does nothing.
class MButton : public QWidget
{
    Q_OBJECT
public:
    explicit MButton(QWidget *parent = nullptr);

    // Called once, before the button is placed. A null title shows "OK"; a null
    // command is the empty command (clicking still runs the variable assignments).
    void configure(const OptText &title, const OptText &command);

    // The form whose queue runs the command; without one a click runs nothing.
    void setSession(FormSession *session) { m_session = session; }

    QPushButton *pushButton() const { return m_pushButton; }
    const QByteArray &command() const { return m_command; }

Q_SIGNALS:
    void outputEmit(const QByteArray &output);
    void clicked();

public Q_SLOTS:
    void click();

private:
    QPushButton *m_pushButton;
    QPointer<FormSession> m_session;
    QByteArray m_command{""};
};
