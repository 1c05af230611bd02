#pragma once

#include "markup/Element.h"

#include <QString>
#include <QWidget>

class QComboBox;

// A drop-down list of fixed entries bound to a shell variable, which holds the
// text of the current entry.
class MComboBox : public QWidget
{
    Q_OBJECT
public:
    explicit MComboBox(QWidget *parent = nullptr);

    void setVarIndex(int index) { m_varIndex = index; }
    int varIndex() const { return m_varIndex; }
    QComboBox *comboBox() const { return m_comboBox; }

    // Appends an entry (no icon, no data). The first entry of an empty box becomes
    // current and is reported.
    void addEntry(const QString &text);
    // Makes the first entry with exactly this text current and reports the text.
    // A text that no entry has changes nothing.
    void selectEntry(const OptText &text);
    // The entries of text instead of the present ones (as addComboEntries reads
    // them). The current entry's text stays current while an entry has it, else
    // the marked or first entry is; reported either way.
    void replaceEntries(const OptText &text);

Q_SIGNALS:
    void valueChanged(int index, const QString &value);

public Q_SLOTS:
    void changeValue(const QString &text);

private:
    void currentChanged(int index);

    QComboBox *m_comboBox;
    int m_varIndex = -1;
};

// Adds one entry per non-empty line of text (lines end at '\n' only; carriage
// returns and blanks stay). A line starting with '#' adds the rest of the line and
// makes it current. A null text adds nothing.
void addComboEntries(MComboBox *combo, const OptText &text);
