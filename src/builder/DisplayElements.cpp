#include "builder/Builders.h"
#include "shell/RichTextLimits.h"
#include "widgets/ImageFile.h"
#include "widgets/WidgetSetup.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QPixmap>

void buildLabel(FormSession &session, const Element *element, QLayout *parent)
{
    // "text" is read first, whether or not the content wins: its own command (a
    // "text" child element) runs either way.
    const OptText fallback = session.attribute(element, "text");
    const OptText value = session.value(element);
    auto *label = new QLabel(toQString(hasText(value) ? value : fallback));
    // Rich text past what Qt lays out at once is shown as written.
    if (!mayShowAsRichText(label->text()))
        label->setTextFormat(Qt::PlainText);
    label->setContentsMargins(0, 0, 0, 0);
    applySizeAttributes(session, element, label);
    if (parent)
        parent->addWidget(label);
}

void buildImage(FormSession &session, const Element *element, QLayout *parent)
{
    auto *picture = new QLabel;
    picture->setObjectName(QStringLiteral("picture"));
    const OptText src = session.attribute(element, "src");
    const QByteArray path = hasText(src) ? resolveIconPath(*src) : defaultIconPath();
    // An unreadable or non-image file gives an empty picture.
    picture->setPixmap(QPixmap::fromImage(loadImageFile(path)));
    // A screen reader says which picture it is, by the name the form gave it.
    const QByteArray named = hasText(src) ? *src : path;
    picture->setAccessibleName(textFromBytes(named.mid(named.lastIndexOf('/') + 1)));

    const OptText align = session.attribute(element, "align");
    auto *box = new QWidget;
    box->setObjectName(QStringLiteral("image"));
    auto *row = new QHBoxLayout;
    const char first = align && !align->isEmpty() ? align->at(0) : '\0';
    const bool left = !align || first == '\0' || first == 'l';
    if (!left)
        row->addStretch(0);
    row->addWidget(picture, 0);
    if (first == 'c')
        row->addStretch(0);
    // A picture smaller than its minimum size keeps to the same side within it.
    if (!left)
        picture->setAlignment(first == 'c' ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
    // The size belongs to the picture, not to its row, which spans the width.
    applySizeAttributes(session, element, picture);
    box->setLayout(row);
    if (parent)
        parent->addWidget(box);
}
