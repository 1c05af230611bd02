#include "widgets/MButton.h"

#include "shell/BusyState.h"
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
    // tr() so that a translator, if one is ever installed, sees the title.
    m_pushButton->setText(title ? tr(title->constData()) : tr("OK"));
    m_command = command ? *command : QByteArray("");
}

void MButton::click()
{
    if (!m_session)
        return;
    runUserCommand(*m_session, m_command, isSignalConnected(QMetaMethod::fromSignal(&MButton::outputEmit)), this,
                   [this](const QByteArray &output) {
                       // A receiver of outputEmit may close or delete the window holding this button.
                       const QPointer<MButton> self(this);
                       Q_EMIT outputEmit(output);
                       if (self)
                           Q_EMIT clicked();
                   });
}

void buildButton(FormSession &session, const Element *element, QLayout *parent)
{
    auto *button = new MButton;

    // The command is kept as written and run anew at every click.
    OptText command = session.written(element);
    if (!hasText(command))
        command = session.written(element, "onclick");

    OptText title = session.attribute(element, "title");
    if (!hasText(title))
        title = session.attribute(element, "text");
    if (!hasText(title))
        title = QByteArray("OK");

    // The output reaches the text logs while it runs, not through outputEmit.
    button->configure(title, command);
    button->setSession(&session);
    applySizeAttributes(session, element, button->pushButton());
    if (parent)
        parent->addWidget(button);
    else
        delete button;  // nothing could ever reach an unplaced button
}
