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
    return trimWhitespace(output(element));
}

OptText FormSession::output(const Element *element) const
{
    if (const auto known = m_readAhead.find(element); known != m_readAhead.end())
        return known->second;
    return run(element->value());
}

OptText FormSession::attribute(const Element *element, const char *name) const
{
    if (!element)
        return std::nullopt;
    const Element *child = element->attributeNode(name);
    return child ? value(child) : std::nullopt;
}

void FormSession::keepHidden(QWidget *widget) { m_hidden.emplace_back(widget); }

void FormSession::setPendingTab(QTabWidget *tabs) { m_pendingTab = tabs; }

void FormSession::setBarWindow(QWidget *window)
{
    m_barWindow = window;
}
