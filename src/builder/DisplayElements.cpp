#include "builder/Builders.h"
#include "shell/RichTextLimits.h"
#include "widgets/ImageFile.h"
#include "widgets/WidgetSetup.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QPixmap>

namespace {

void readLabel(FormSession &session, const Element *element, QLabel *label)
{
    // "text" is read first, whether or not the content wins: its own command (a
    // "text" child element) runs either way.
    const OptText fallback = session.attribute(element, "text");
    const OptText value = session.value(element);
    const QString text = toQString(hasText(value) ? value : fallback);
    // Rich text past what Qt lays out at once is shown as written; set before the
    // text, so that Qt never lays out such a text as rich.
    label->setTextFormat(mayShowAsRichText(text) ? Qt::AutoText : Qt::PlainText);
    label->setText(text);
}

void readPicture(FormSession &session, const Element *element, QLabel *picture)
{
    const OptText src = session.attribute(element, "src");
    const QByteArray path = hasText(src) ? resolveIconPath(*src) : defaultIconPath();
    // An unreadable or non-image file gives an empty picture.
    picture->setPixmap(QPixmap::fromImage(loadImageFile(path)));
    // A screen reader says which picture it is, by the name the form gave it.
    const QByteArray named = hasText(src) ? *src : path;
    picture->setAccessibleName(textFromBytes(named.mid(named.lastIndexOf('/') + 1)));
}

} // namespace

void buildLabel(FormSession &session, const Element *element, QLayout *parent)
{
    auto *label = new QLabel;
    readLabel(session, element, label);
    label->setContentsMargins(0, 0, 0, 0);
    applySizeAttributes(session, element, label);
    if (parent)
        parent->addWidget(label);
}

void buildImage(FormSession &session, const Element *element, QLayout *parent)
{
    auto *picture = new QLabel;
    picture->setObjectName(QStringLiteral("picture"));
    readPicture(session, element, picture);

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

void reloadLabel(FormSession &session, const Element *element, QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        readLabel(session, element, label);
}

void reloadImage(FormSession &session, const Element *element, QWidget *widget)
{
    // The picture keeps its place in the row: align is not read again.
    if (auto *picture = widget ? widget->findChild<QLabel *>(QStringLiteral("picture")) : nullptr)
        readPicture(session, element, picture);
}
