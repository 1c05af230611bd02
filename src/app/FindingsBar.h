#pragma once

#include <QFrame>

class QLabel;
class QPlainTextEdit;

// Stands at the top of a watched form's window while the saved file has errors:
// the findings as kiv --check prints them, read-only and selectable. It belongs
// to the window, not to the form: no variable, and the keyboard reaches it only
// by a click, to select text.
class FindingsBar : public QFrame
{
    Q_OBJECT
public:
    explicit FindingsBar(QWidget *parent = nullptr);

    void setFindings(const QByteArray &lines);
    QString findings() const;

private:
    QLabel *m_heading;
    QPlainTextEdit *m_text;
};
