#include "shell/FormSession.h"

#include "shell/BusyState.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"

#include <QTabWidget>

FormSession::FormSession(QObject *parent)
    : QObject(parent), m_store(new MEnvVar(this)), m_output(new MOHandler(this))
{
    setVariableStore(m_store);
    setRunnerStore(m_store);
    setOutputHandler(m_output);
}

FormSession::~FormSession()
{
    if (variableStore() == m_store)
        setVariableStore(nullptr);
    if (runnerStore() == m_store)
        setRunnerStore(nullptr);
    if (outputHandler() == m_output)
        setOutputHandler(nullptr);
}

OptText FormSession::value(const Element *element) const
{
    if (!element)
        return std::nullopt;
    if (element->isAttribute())
        return element->value();
    return trimWhitespace(runCommand(written(element)));
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
    setRunningBarWindow(window);
}
