#pragma once

#include "markup/Element.h"

#include <QColor>
#include <QString>
#include <QWidget>

class QPushButton;

// A swatch button bound to a shell variable that holds its colour as #rrggbb; a
// click opens the colour dialog.
class MColor : public QWidget
{
    Q_OBJECT
public:
    explicit MColor(QWidget *parent = nullptr);

    void setVarIndex(int index) { m_varIndex = index; }
    int varIndex() const { return m_varIndex; }
    QPushButton *swatchButton() const { return m_button; }
    QColor color() const { return m_color; }
    QString valueText() const { return m_color.name(); }

    // A colour as an author writes it: #rgb, #rrggbb, or a name such as
    // "steelblue"; any alpha is dropped. Invalid when it is none of these.
    static QColor parse(QByteArrayView text);
    // The parsed text, black when there is none. Reported.
    void setInitialText(const OptText &text);

public Q_SLOTS:
    // Shows and reports the colour: the dialog's choice ends here.
    void setColor(const QColor &color);
    // Opens the colour dialog at the current colour.
    void chooseColor();

Q_SIGNALS:
    void valueChanged(int index, const QString &value);

private:
    QPushButton *m_button;
    QColor m_color = Qt::black;
    int m_varIndex = -1;
};
