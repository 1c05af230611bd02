#pragma once

#include <QString>
#include <QWidget>

class QCheckBox;

// A two-state check box bound to a shell variable, which holds "1" when the box
// is checked and "0" when it is not.
class MCheckBox : public QWidget
{
    Q_OBJECT
public:
    explicit MCheckBox(QWidget *parent = nullptr);

    // Stores index and reports "0" for it to whatever is connected now.
    void setVarIndex(int index);
    int varIndex() const { return m_varIndex; }
    void setText(const QString &text);
    QCheckBox *checkBox() const { return m_checkBox; }

Q_SIGNALS:
    void valueChanged(int index, const QString &value);

public Q_SLOTS:
    // state is a Qt::CheckState; anything but unchecked reports "1".
    void changeValue(int state);

private:
    QCheckBox *m_checkBox;
    int m_varIndex = -1;
};
