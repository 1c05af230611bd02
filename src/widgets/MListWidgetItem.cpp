#include "widgets/MListWidgetItem.h"

#include "shell/BusyState.h"

#include <QListWidgetItem>
#include <QMetaMethod>
#include <QPointer>

MListWidgetItem::MListWidgetItem(QObject *parent) : QObject(parent) {}

MListWidgetItem::~MListWidgetItem()
{
    if (m_listItem && !m_listItem->listWidget())
        delete m_listItem;
}

void MListWidgetItem::setListItem(QListWidgetItem *item)
{
    if (m_listItem && m_listItem != item && !m_listItem->listWidget())
        delete m_listItem;
    m_listItem = item;
}

bool MListWidgetItem::runOwnCommand()
{
    if (!m_command)
        return false;
    if (m_session)
        runUserCommand(*m_session, *m_command, isSignalConnected(QMetaMethod::fromSignal(&MListWidgetItem::outputEmit)),
                       this, [this](const QByteArray &output) { Q_EMIT outputEmit(output); });
    return true;
}
