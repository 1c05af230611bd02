#pragma once

#include "markup/Element.h"
#include "markup/LosslessText.h"
#include "markup/TextRules.h"
#include "shell/FormSession.h"
#include "shell/MEnvVar.h"
#include "widgets/ImageFile.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

class QLayout;
class QWidget;

// "width" and "height" (evaluated) become the widget's minimum size; a value that
// does not begin with a number is ignored, one outside 0..kMaxWidgetSize is
// clamped: Qt cannot lay out, nor many windowing systems show, a larger widget.
constexpr int kMaxWidgetSize = 16384;
void applySizeAttributes(FormSession &session, const Element *element, QWidget *widget);

// Reads the element's "var" (evaluated) and registers it in the variable store
// with the empty text: the new index, or -1 when the element names no variable.
int bindVariable(FormSession &session, const Element *element);

// Binds a bound widget to its element's variable: the index from bindVariable,
// and each change of its value into the store, as an edit (take) or, for a widget
// whose values are all entries kiv decoded, as MEnvVar::takeDecoded. A widget that
// is edited emits valueDecoded for its start value, before showing it.
template <class BoundWidget>
void bindValue(FormSession &session, const Element *element, BoundWidget *widget,
               void (MEnvVar::*take)(int, const QString &) = &MEnvVar::updateVal)
{
    widget->setVarIndex(bindVariable(session, element));
    QObject::connect(widget, &BoundWidget::valueChanged, &session.store(), take);
    if constexpr (requires { &BoundWidget::valueDecoded; })
        QObject::connect(widget, &BoundWidget::valueDecoded, &session.store(), &MEnvVar::takeDecoded);
}

// Adds widget to parent. Without one nothing could ever show or reach it: it goes,
// while what it put into the store stays.
void placeWidget(QLayout *parent, QWidget *widget);

// The start value of an input: the output of its content (or code), else its
// "text" attribute, read in that order.
OptText startValue(FormSession &session, const Element *element);

// Puts inner alone into a zero-margin column that fills outer: every bound widget
// wraps its Qt widget this way, so sizes set on either pass through unchanged.
void wrapInColumn(QWidget *outer, QWidget *inner);

// Texts cross into Qt as UTF-8, other bytes as escapes that come back unchanged;
// an absent text becomes the empty text.
inline QString toQString(const OptText &text)
{
    return text ? textFromBytes(*text) : QString();
}
inline bool hasText(const OptText &text) { return text && !text->isEmpty(); }
