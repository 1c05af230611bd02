#pragma once

#include "markup/Element.h"

#include <QString>
#include <QWidget>

#include <vector>

class QDoubleSpinBox;
class QLabel;
class QSlider;

// What a number or slider element asks for, every amount in units of
// 10^-decimals so that values print exactly, whatever their size.
struct NumberSettings
{
    int decimals = 0;
    qint64 minimum = 0;
    qint64 maximum = 100;
    qint64 step = 1;
    qint64 start = 0;
};

// The texts behind the settings, as the element gives them (null: absent).
struct NumberTexts
{
    enum Field { Minimum, Maximum, Step, Decimals, Start, FieldCount };
    OptText text[FieldCount];
};

// Something doubtful in NumberTexts and what is done about it: involves has a bit
// (1 << Field) for every text the finding depends on; at is the one it is about.
struct NumberProblem
{
    unsigned involves;
    NumberTexts::Field at;
    QString message;
};

// Fills the gaps with defaults (0 to 100, step 1, no decimals, start at the
// minimum) and repairs the rest: swapped ends, a step of at least one unit, the
// start clamped. A slider's ends stay within the reach of an int.
NumberSettings readNumberSettings(const NumberTexts &texts, bool slider, std::vector<NumberProblem> *problems);

// units as plain decimal text: "-3", "2.50"; '.' whatever the locale.
QString numberText(qint64 units, int decimals);

// A number bound to a shell variable, shown as a spin box or as a horizontal
// slider with its value beside it.
class MNumber : public QWidget
{
    Q_OBJECT
public:
    enum Kind { SpinBox, Slider };
    explicit MNumber(Kind kind, QWidget *parent = nullptr);

    void setVarIndex(int index) { m_varIndex = index; }
    int varIndex() const { return m_varIndex; }
    // Takes the range and step and shows and reports the start value.
    void setSettings(const NumberSettings &settings);

    QDoubleSpinBox *spinBox() const { return m_spinBox; } // null for a slider
    QSlider *slider() const { return m_slider; }          // null for a spin box
    QLabel *valueLabel() const { return m_valueLabel; }   // null for a spin box
    QWidget *input() const; // the one that takes the keyboard
    QString valueText() const;

Q_SIGNALS:
    void valueChanged(int index, const QString &value);

private:
    qint64 units() const;
    void report();

    QDoubleSpinBox *m_spinBox = nullptr;
    QSlider *m_slider = nullptr;
    QLabel *m_valueLabel = nullptr;
    int m_decimals = 0;
    int m_varIndex = -1;
};
