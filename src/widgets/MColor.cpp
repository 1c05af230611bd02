#include "widgets/MColor.h"

#include "markup/StaticValue.h"
#include "widgets/WidgetBuilders.h"
#include "widgets/WidgetSetup.h"

#include <QColorDialog>
#include <QLayout>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>

MColor::MColor(QWidget *parent) : QWidget(parent), m_button(new QPushButton)
{
    m_button->setObjectName(QStringLiteral("swatchButton"));
    // Return and Enter open the dialog as Space does, as for every button of a form.
    m_button->setAutoDefault(true);
    wrapInColumn(this, m_button);
    connect(m_button, &QPushButton::clicked, this, &MColor::chooseColor);
    setColor(m_color);
}

QColor MColor::parse(QByteArrayView text)
{
    const OptText trimmed = trimWhitespace(text.toByteArray());
    QColor color = QColor::fromString(textFromBytes(*trimmed));
    if (color.isValid())
        color.setAlpha(255);
    return color;
}

void MColor::setInitialText(const OptText &text)
{
    const QColor color = text ? parse(*text) : QColor();
    setColor(color.isValid() ? color : QColor(Qt::black));
}

void MColor::setColor(const QColor &color)
{
    if (!color.isValid())
        return;
    m_color = color.toRgb();
    m_color.setAlpha(255);
    const QSize size = m_button->iconSize();
    QPixmap swatch(size);
    swatch.fill(m_color);
    {
        // A frame keeps a colour close to the button's own visible.
        QPainter painter(&swatch);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
    }
    m_button->setIcon(swatch);
    m_button->setText(valueText());
    // The name says what the colour is for; screen readers speak the colour too.
    m_button->setAccessibleDescription(valueText());
    Q_EMIT valueChanged(m_varIndex, valueText());
}

void MColor::chooseColor()
{
    const QPointer<MColor> self(this);
    const QPointer<QColorDialog> dialog = new QColorDialog(m_color, this);
    dialog->setObjectName(QStringLiteral("colorDialog"));
    dialog->setWindowTitle(tr("Choose a colour"));
    // Qt's own dialog behaves the same on every desktop and under test.
    dialog->setOption(QColorDialog::DontUseNativeDialog);
    const int result = dialog->exec();
    if (self && dialog && result == QDialog::Accepted)
        setColor(dialog->selectedColor());
    delete dialog.data();
}

void buildColor(FormSession &session, const Element *element, QLayout *parent)
{
    auto *color = new MColor;
    bindValue(session, element, color);

    const OptText start = startValue(session, element);
    color->setInitialText(start);

    applySizeAttributes(session, element, color->swatchButton());
    placeWidget(parent, color);
}

void checkColor(const Element *element, std::vector<TagWarning> &warnings)
{
    const StaticValue text = staticAttribute(element, "text");
    if (!text.known || text.text.trimmed().isEmpty() || !startsFromTextAttribute(element))
        return;
    if (!MColor::parse(text.text).isValid())
        warnings.push_back({text.offset(element),
                            QStringLiteral("text \"%1\" is no colour (#rrggbb, #rgb or a name such as steelblue): "
                                           "the colour starts black")
                                .arg(textFromBytes(text.text))});
}

void reloadColor(FormSession &session, const Element *element, QWidget *widget)
{
    if (auto *box = qobject_cast<MColor *>(widget))
        box->setInitialText(startValue(session, element));
}
