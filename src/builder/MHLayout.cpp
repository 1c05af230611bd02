#include "builder/MHLayout.h"

#include <QHBoxLayout>

MHLayout::MHLayout(QWidget *parent) : QWidget(parent), boxLayout(new QHBoxLayout)
{
    boxLayout->setContentsMargins(0, 0, 0, 0);
    setContentsMargins(0, 0, 0, 0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setLayout(boxLayout);
}

MHLayout::~MHLayout() = default;
