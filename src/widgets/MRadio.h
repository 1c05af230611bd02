#pragma once

#include "markup/Element.h"

#include <QString>
#include <QWidget>

#include <vector>

class QAbstractButton;
class QBoxLayout;
class QButtonGroup;
class QGroupBox;
class QRadioButton;
class QScrollArea;

// A captioned group of radio buttons bound to a shell variable, which holds the
// text of the chosen one. The arrow keys move the choice; the group is one Tab
// stop, at its chosen button.
class MRadio : public QWidget
{
    Q_OBJECT
public:
    explicit MRadio(QWidget *parent = nullptr);

    void setVarIndex(int index) { m_varIndex = index; }
    int varIndex() const { return m_varIndex; }
    QGroupBox *groupBox() const { return m_group; }
    // Lays the buttons out in a row instead of a column; set before the entries.
    void setHorizontal(bool horizontal) { m_horizontal = horizontal; }

    // One button per entry of the content (the combo box rules), the marked one or
    // else the first chosen and reported. Called again, it replaces the buttons and
    // keeps the chosen text while an entry has it.
    void setEntries(const OptText &text);
    int count() const { return int(m_entries.size()); }
    QRadioButton *button(int index) const;
    int chosen() const { return m_chosen; }
    // Chooses that entry and reports its text; an index out of range changes nothing.
    void choose(int index);

    // Many entries are shown in a scrolling area this many rows high.
    static constexpr int kRowsShown = 12;

Q_SIGNALS:
    void valueChanged(int index, const QString &value);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void toggled(int index, bool checked);
    void scrollIfLong();
    void clearEntries();

    QGroupBox *m_group;
    QWidget *m_rows;
    QButtonGroup *m_buttons;
    QScrollArea *m_scroll = nullptr;
    std::vector<QString> m_entries;
    std::vector<QRadioButton *> m_radios; // QButtonGroup finds a button by id only by looking at each
    int m_varIndex = -1;
    int m_chosen = -1;
    bool m_horizontal = false;
};
