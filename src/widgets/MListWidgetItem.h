#pragma once

#include "markup/Element.h"
#include "shell/FormSession.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>


class QListWidgetItem;

// One "icon" entry of an icon list: its visible item and its own double-click
// command. Never shown; it exists to run the command and send its output.
class MListWidgetItem : public QObject
{
    Q_OBJECT
public:
    explicit MListWidgetItem(QObject *parent = nullptr);
    // Deletes the item too while no list has taken it over.
    ~MListWidgetItem() override;

    void setListItem(QListWidgetItem *item);
    QListWidgetItem *listItem() const { return m_listItem; }
    // The command runs in session's queue.
    void setCommand(FormSession *session, const OptText &command)
    {
        m_session = session;
        m_command = command;
    }
    const OptText &command() const { return m_command; }

    // Runs the entry's command as a user action (see runUserCommand) and emits its
    // output; false (and nothing run) when the entry has no command.
    bool runOwnCommand();

Q_SIGNALS:
    void outputEmit(const QByteArray &output);

private:
    QPointer<FormSession> m_session;
    QListWidgetItem *m_listItem = nullptr;
    OptText m_command;
};
