#include "builder/Builders.h"
#include "builder/Common.h"
#include "builder/ImageFile.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QPixmap>

void buildLabel(frmMain *window, const Element *element, QLayout *parent)
{
    // "text" is read first, whether or not the content wins: its own command (a
    // "text" child element) runs either way.
    const OptText fallback = element->attribute("text", true);
    const OptText value = element->value(true);
    auto *label = new QLabel(toQString(hasText(value) ? value : fallback));
    label->setContentsMargins(0, 0, 0, 0);
    applySizeAttributes(window, element, label);
    if (parent)
        parent->addWidget(label);
}

void buildImage(frmMain *window, const Element *element, QLayout *parent)
{
    auto *picture = new QLabel;
    picture->setObjectName(QStringLiteral("picture"));
    const OptText src = element->attribute("src", true);
    const QByteArray path = hasText(src) ? resolveIconPath(window, *src) : defaultIconPath();
    // An unreadable or non-image file gives an empty picture.
    picture->setPixmap(QPixmap::fromImage(loadImageFile(path)));

    const OptText align = element->attribute("align", true);
    auto *box = new QWidget;
    box->setObjectName(QStringLiteral("image"));
    auto *row = new QHBoxLayout;
    const char first = align && !align->isEmpty() ? align->at(0) : '\0';
    if (align && first != '\0' && first != 'l')
        row->addStretch(0);
    row->addWidget(picture, 0);
    if (align && first == 'c')
        row->addStretch(0);
    // The size belongs to the picture, so that a minimum size cannot push the
    // picture away from the side that "align" chose.
    applySizeAttributes(window, element, picture);
    box->setLayout(row);
    if (parent)
        parent->addWidget(box);
}
