#include "builder/MScroll.h"

#include <QApplication>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

MScroll::MScroll(QWidget *parent) : QWidget(parent)
{
    auto *outer = new QVBoxLayout;
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("scrollContent"));
    scrollArea = new QScrollArea;
    scrollArea->setObjectName(QStringLiteral("scrollArea"));
    contentLayout = new QVBoxLayout;
    contentLayout->setContentsMargins(0, 0, 0, 0);
    setContentsMargins(0, 0, 0, 0);
    scrollArea->setWidgetResizable(true);
    scrollArea->setFrameShape(QFrame::NoFrame);
    scrollArea->setFocusPolicy(Qt::NoFocus);
    scrollArea->setWidget(content);
    content->setLayout(contentLayout);
    outer->addWidget(scrollArea, 0);
    setLayout(outer);

    // QScrollArea brings a widget into view only when Tab moves within it; focus
    // may also come from outside (Tab from the widget before, a mnemonic, a click).
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance())) {
        connect(app, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
            if (now && scrollArea->widget()->isAncestorOf(now))
                scrollArea->ensureWidgetVisible(now);
        });
    }
}

MScroll::~MScroll() = default;

void MScroll::addWidget(QWidget *widget)
{
    contentLayout->addWidget(widget, 0);
}

void MScroll::settleFocus()
{
    const QList<QWidget *> inside = scrollArea->widget()->findChildren<QWidget *>();
    const bool focusable = std::any_of(inside.begin(), inside.end(),
                                       [](const QWidget *w) { return w->focusPolicy() & Qt::TabFocus; });
    scrollArea->setFocusPolicy(focusable ? Qt::NoFocus : Qt::StrongFocus);
}
