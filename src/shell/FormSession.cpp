#include "shell/FormSession.h"

#include "shell/CommandQueue.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"

#include <QTabWidget>

FormSession::FormSession(QObject *parent)
    : QObject(parent), m_store(new MEnvVar(this)), m_output(new MOHandler(this)),
      m_queue(new CommandQueue(*m_store, this))
{
}

// The queue goes first: its running command may still read the store.
FormSession::~FormSession() { delete m_queue; }

OptText FormSession::run(const OptText &command) const
{
    if (!command)
        return std::nullopt;
    return runCommand(m_store, *command);
}

OptText FormSession::value(const Element *element) const
{
    if (!element)
        return std::nullopt;
    if (element->isAttribute())
        return element->value();
    if (const auto known = m_readAhead.find(element); known != m_readAhead.end())
        return trimWhitespace(known->second);
    return trimWhitespace(run(written(element)));
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
