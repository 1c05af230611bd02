#include "widgets/WidgetSetup.h"
#include "shell/MEnvVar.h"

#include <QVBoxLayout>
#include <QWidget>

void applySizeAttributes(FormSession &session, const Element *element, QWidget *widget)
{
    if (const OptText w = session.attribute(element, "width"); hasText(w)) {
        if (const auto n = leadingInt(*w))
            widget->setMinimumWidth(std::clamp(*n, 0, kMaxWidgetSize));
    }
    if (const OptText h = session.attribute(element, "height"); hasText(h)) {
        if (const auto n = leadingInt(*h))
            widget->setMinimumHeight(std::clamp(*n, 0, kMaxWidgetSize));
    }
}

int bindVariable(FormSession &session, const Element *element)
{
    const OptText name = session.attribute(element, "var");
    MEnvVar *store = &session.store();
    return hasText(name) && store ? store->addVariable(*name, QByteArray("")) : -1;
}

OptText startValue(FormSession &session, const Element *element)
{
    OptText value = session.value(element);
    if (!hasText(value))
        value = session.attribute(element, "text");
    return value;
}

void wrapInColumn(QWidget *outer, QWidget *inner)
{
    auto *layout = new QVBoxLayout;
    layout->addWidget(inner);
    outer->setContentsMargins(0, 0, 0, 0);
    layout->setContentsMargins(0, 0, 0, 0);
    outer->setLayout(layout);
}

void placeWidget(QLayout *parent, QWidget *widget)
{
    if (parent)
        parent->addWidget(widget);
    else
        delete widget;
}
