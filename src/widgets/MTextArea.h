#pragma once

#include "markup/Element.h"

#include <QString>
#include <QWidget>

class QPlainTextEdit;

// A plain-text box of several lines bound to a shell variable: every change is
// reported with valueChanged, so the variable always holds what the box shows.
// Return starts a new line; Tab moves on to the next widget.
class MTextArea : public QWidget
{
    Q_OBJECT
public:
    explicit MTextArea(QWidget *parent = nullptr);

    void setVarIndex(int index) { m_varIndex = index; }
    int varIndex() const { return m_varIndex; }
    QPlainTextEdit *textEdit() const { return m_edit; }

    // Shows text (UTF-8; null is the empty text) and reports it whole. A text
    // longer than a text box can edit is shown in part and read-only, as there.
    void setInitialText(const OptText &text);
    // The text shown, lines joined by '\n'.
    QString text() const;

Q_SIGNALS:
    void valueChanged(int index, const QString &value);
    // The start value, decoded by kiv: sent before the box shows it.
    void valueDecoded(int index, const QString &value);

private:
    void changeValue();

    QPlainTextEdit *m_edit;
    int m_varIndex = -1;
};
