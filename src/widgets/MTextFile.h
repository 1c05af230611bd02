#pragma once

#include "markup/Element.h"

#include <QString>
#include <QWidget>

class QFileDialog;
class QLineEdit;
class QToolButton;

// A path box with a "..." button that opens a file dialog. The path, typed or
// picked, is the bound variable's value.
class MTextFile : public QWidget
{
    Q_OBJECT
public:
    explicit MTextFile(QWidget *parent = nullptr);

    void setVarIndex(int index) { m_varIndex = index; }
    int varIndex() const { return m_varIndex; }

    // Replaces the dialog's name filter; an empty text changes nothing.
    void setFilter(const QByteArray &filter);
    // "o..." open an existing file, "s..." name a file to save, "d..." pick a
    // directory; anything else changes nothing.
    void setMode(const QByteArray &mode);
    // Shows text (when present) and reports it as the value.
    void setInitialText(const OptText &text);

    QLineEdit *lineEdit() const { return m_lineEdit; }
    QToolButton *browseButton() const { return m_browseButton; }
    // The chooser's one dialog, made at first use: building one costs more than
    // the rest of a form, and most choosers are never opened.
    QFileDialog *dialog() const;

Q_SIGNALS:
    void valueChanged(int index, const QString &value);
    // The start value, decoded by kiv: sent before the box shows it.
    void valueDecoded(int index, const QString &value);

public Q_SLOTS:
    void changeValue(const QString &text);
    // Runs the dialog; an accepted choice becomes the path.
    void trovaFile();

private:
    void applyMode(QFileDialog *dialog) const;
    void startAtPath(QFileDialog *dialog) const;

    QLineEdit *m_lineEdit = nullptr;
    QToolButton *m_browseButton = nullptr;
    mutable QFileDialog *m_dialog = nullptr;
    int m_varIndex = -1;
    QString m_filter;
    char m_mode = 0;
};
