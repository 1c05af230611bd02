#include "widgets/MListWidgetItem.h"

#include "shell/CommandRunner.h"

#include <QListWidgetItem>

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
    Q_EMIT outputEmit(runCommand(*m_command));
    return true;
}
