#include "shell/FormSession.h"

#include "shell/CommandQueue.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"

#include <QPushButton>
#include <QTabWidget>

FormSession::FormSession(QObject *parent)
    : QObject(parent), m_store(new MEnvVar(this)), m_runner(m_store), m_output(new MOHandler(this)),
      m_queue(new CommandQueue(m_runner, this))
{
}

// The queue goes first: its running command may still read the store.
FormSession::~FormSession() { delete m_queue; }

OptText FormSession::run(const OptText &command) const { return m_runner.run(command); }

OptText FormSession::value(const Element *element) const
{
    if (!element)
        return std::nullopt;
    if (element->isAttribute())
        return element->value();
    return trimWhitespace(output(element));
}

OptText FormSession::output(const Element *element) const
{
    if (const auto known = m_readAhead.find(element); known != m_readAhead.end())
        return known->second;
    return run(written(element));
}

OptText FormSession::attribute(const Element *element, const char *name) const
{
    if (!element)
        return std::nullopt;
    if (m_observer)
        m_observer(element, name);
    const Element *child = element->namedChild(name);
    return child ? value(child) : std::nullopt;
}

OptText FormSession::written(const Element *element, const char *name) const
{
    if (!name && element->hasContent())
        return element->content();
    if (m_observer)
        m_observer(element, name ? name : "code");
    return element->attribute(name ? name : "code");
}

void FormSession::keepHidden(QWidget *widget) { m_hidden.emplace_back(widget); }

void FormSession::setPendingTab(QTabWidget *tabs) { m_pendingTab = tabs; }

void FormSession::setBarWindow(QWidget *window)
{
    m_barWindow = window;
}

void FormSession::addExitButton(QPushButton *button, int status)
{
    m_dialog = true;
    if (status != 0 || m_acceptButton)
        return;
    m_acceptButton = button;
    // Outside a QDialog an auto-default button loses its default look when the
    // focus leaves it; Return on it still presses it.
    button->setAutoDefault(false);
    button->setDefault(true);
}

QPushButton *FormSession::acceptButton() const { return m_acceptButton; }

void FormSession::requestExit(int status)
{
    if (m_exitStatus)
        return;
    m_exitStatus = status;
    m_runner.refuse();
    m_runner.stopRunning();
    m_runner.afterRunning([self = QPointer<FormSession>(this), status] {
        if (self)
            Q_EMIT self->ended(status);
    });
}
