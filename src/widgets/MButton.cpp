#include "widgets/MButton.h"

#include "shell/BusyState.h"
#include "shell/CommandRunner.h"
#include "shell/FormSession.h"
#include "widgets/WidgetBuilders.h"
#include "widgets/WidgetSetup.h"

#include <QLayout>
#include <QMetaMethod>
#include <QPointer>
#include <QPushButton>

MButton::MButton(QWidget *parent) : QWidget(parent), m_pushButton(new QPushButton)
{
    m_pushButton->setObjectName(QStringLiteral("pushButton"));
    // Return and Enter press a focused button, as Space does; outside a dialog Qt
    // leaves that to the buttons that ask for it.
    m_pushButton->setAutoDefault(true);
    wrapInColumn(this, m_pushButton);
    connect(m_pushButton, &QPushButton::clicked, this, &MButton::click);
}

void MButton::configure(const OptText &title, const OptText &command)
{
    setTitle(title);
    m_command = command ? *command : QByteArray("");
}

void MButton::setTitle(const OptText &title)
{
    // tr() so that a translator, if one is ever installed, sees the title.
    m_pushButton->setText(title ? tr(title->constData()) : tr("OK"));
}

void MButton::click()
{
    if (!m_session)
        return;
    if (m_exitStatus && m_command.isEmpty()) {
        commandEnded(false);
        return;
    }
    runUserCommandResult(*m_session, m_command, isSignalConnected(QMetaMethod::fromSignal(&MButton::outputEmit)), this,
                         [this](const CommandResult &result) {
                             // A receiver of outputEmit may close or delete the window holding this button.
                             const QPointer<MButton> self(this);
                             Q_EMIT outputEmit(result.output);
                             if (self)
                                 Q_EMIT clicked();
                             if (self)
                                 commandEnded(result.stopped);
                         });
}

void MButton::commandEnded(bool stopped)
{
    // Stopping the command of OK means "not yet": the form stays.
    if (m_exitStatus && m_session && !stopped)
        m_session->requestExit(*m_exitStatus);
}

namespace {

OptText readTitle(FormSession &session, const Element *element)
{
    OptText title = session.attribute(element, "title");
    if (!hasText(title))
        title = session.attribute(element, "text");
    if (!hasText(title))
        title = QByteArray("OK");
    return title;
}

} // namespace

void buildButton(FormSession &session, const Element *element, QLayout *parent)
{
    auto *button = new MButton;

    // The command is kept as written and run anew at every click.
    OptText command = session.written(element);
    if (!hasText(command))
        command = session.written(element, "onclick");

    const OptText title = readTitle(session, element);

    // The output reaches the text logs while it runs, not through outputEmit.
    button->configure(title, command);
    button->setSession(&session);
    applySizeAttributes(session, element, button->pushButton());
    // Any other value leaves an ordinary button (kiv --check reports it).
    if (const OptText exit = session.attribute(element, "exit")) {
        const std::optional<int> status = leadingInt(*exit);
        if (status && *status >= 0 && *status <= kMaxExitStatus) {
            button->setExitStatus(*status);
            session.addExitButton(button->pushButton(), *status);
        }
    }
    placeWidget(parent, button);
}

void reloadButton(FormSession &session, const Element *element, QWidget *widget)
{
    if (auto *button = qobject_cast<MButton *>(widget))
        button->setTitle(readTitle(session, element));
}
