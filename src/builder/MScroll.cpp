#include "builder/MScroll.h"

#include <QScrollArea>
#include <QVBoxLayout>

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
    scrollArea->setWidget(content);
    content->setLayout(contentLayout);
    outer->addWidget(scrollArea, 0);
    setLayout(outer);
}

MScroll::~MScroll() = default;

void MScroll::addWidget(QWidget *widget)
{
    contentLayout->addWidget(widget, 0);
}
