#pragma once

#include "markup/Element.h"
#include "shell/FormSession.h"

#include <QIcon>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <vector>

class Element;
class MListWidgetItem;
class QListWidget;
class QListWidgetItem;


// An icon list: entries with a picture and a text. The selected entry's text is
// the bound variable's value; a double click runs the entry's own command, else
// the list's.
class MListWidget : public QWidget
{
    Q_OBJECT
public:
    explicit MListWidget(QWidget *parent = nullptr);
    ~MListWidget() override;

    void setVarIndex(int index) { m_varIndex = index; }
    int varIndex() const { return m_varIndex; }

    // "i..." shows icons, "l..." a plain list; anything else changes nothing.
    void setMode(const QByteArray &mode);
    // Only a text that starts with a digit counts; its leading number is used.
    void setIconWidth(const QByteArray &width);
    void setIconHeight(const QByteArray &height);
    int iconWidth() const { return m_iconWidth; }
    int iconHeight() const { return m_iconHeight; }

    // The command runs in session's queue.
    void setDoubleClickCommand(FormSession *session, const OptText &command)
    {
        m_session = session;
        m_doubleClickCommand = command;
    }
    const OptText &doubleClickCommand() const { return m_doubleClickCommand; }

    // Appends an "icon" entry; the list takes it over.
    void addEntry(MListWidgetItem *entry);
    // Appends an entry with the default icon.
    void addTextEntry(const QString &text);

    int entryCount() const { return int(m_entries.size()); }
    MListWidgetItem *entry(int i) const;

    QListWidget *listWidget() const { return m_listWidget; }
    const QString &defaultIcon() const { return m_defaultIcon; }

    // Icon sides are kept within this, so that a hostile value cannot make the
    // view's layout arithmetic overflow.
    static constexpr int kMaxIconSide = 1024;

public Q_SLOTS:
    void changeValue();
    void doubleClicked(QListWidgetItem *item);

Q_SIGNALS:
    void valueChanged(int index, const QString &value);
    void outputEmit(const QByteArray &output);

protected:
    // Return or Enter on the current entry does what a double click on it does.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyIconSize();

    QListWidget *m_listWidget = nullptr;
    int m_varIndex = -1;
    QString m_defaultIcon;
    QIcon m_defaultIconImage;
    OptText m_doubleClickCommand;
    QPointer<FormSession> m_session;
    int m_iconWidth = 47;
    int m_iconHeight = 27;
    std::vector<QPointer<MListWidgetItem>> m_entries;
};

// One entry per non-empty line of text, in order.
void addIconListEntries(MListWidget *list, const OptText &text);

// The entry for an "icon" element (or attribute); the caller adds it to a list.
MListWidgetItem *buildIconEntry(FormSession &session, const Element *element);
