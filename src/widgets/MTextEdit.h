#pragma once

#include "markup/Element.h"

#include <QString>
#include <QWidget>

#include <vector>

class QLineEdit;

// A single-line text box bound to a shell variable: every change of its text is
// reported with valueChanged, so the variable always holds what the box shows.
class MTextEdit : public QWidget
{
    Q_OBJECT
public:
    explicit MTextEdit(QWidget *parent = nullptr);

    void setVarIndex(int index) { m_varIndex = index; }
    int varIndex() const { return m_varIndex; }
    QLineEdit *lineEdit() const { return m_lineEdit; }

    // Shows bullets instead of the text; the text cannot be copied, cut or dragged out.
    void hideText();
    bool hidesText() const;

    // Shows text (UTF-8; null is the empty text) and reports it even when the box
    // already showed it, so that a freshly registered variable receives it.
    void setInitialText(const OptText &text);

    // Values up to this many characters are shown and edited whole. A longer one
    // would cost seconds per keystroke: the variable keeps all of it, and the box
    // shows its start, read-only.
    static constexpr int kMaxEditableLength = 1 << 18;

Q_SIGNALS:
    void valueChanged(int index, const QString &value);
    // The start value, decoded by kiv: sent before the box shows it.
    void valueDecoded(int index, const QString &value);

public Q_SLOTS:
    void changeValue(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_lineEdit;
    int m_varIndex = -1;
};
