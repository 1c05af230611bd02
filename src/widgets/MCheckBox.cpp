#include "widgets/MCheckBox.h"

#include "markup/StaticValue.h"
#include "shell/MEnvVar.h"
#include "widgets/WidgetBuilders.h"
#include "widgets/WidgetSetup.h"

#include <QCheckBox>
#include <QLayout>

MCheckBox::MCheckBox(QWidget *parent) : QWidget(parent), m_checkBox(new QCheckBox)
{
    m_checkBox->setObjectName(QStringLiteral("checkBox"));
    wrapInColumn(this, m_checkBox);
    connect(m_checkBox, &QCheckBox::stateChanged, this, &MCheckBox::changeValue);
}

void MCheckBox::setVarIndex(int index)
{
    m_varIndex = index;
    changeValue(Qt::Unchecked);
}

void MCheckBox::setText(const QString &text) { m_checkBox->setText(text); }

void MCheckBox::changeValue(int state)
{
    Q_EMIT valueChanged(m_varIndex, state == Qt::Unchecked ? QStringLiteral("0") : QStringLiteral("1"));
}

namespace {

// "1", blanks around it allowed, ticks the box; anything else leaves it as it is.
bool startsTicked(const OptText &checked)
{
    const OptText trimmed = trimWhitespace(checked);
    return trimmed && *trimmed == "1";
}

void readCheckBox(FormSession &session, const Element *element, MCheckBox *box)
{
    // Both are read, in this order, whichever ends up as the label.
    const OptText text = session.attribute(element, "text");
    const OptText value = session.value(element);
    box->setText(toQString(hasText(value) ? value : text));
    box->checkBox()->setChecked(startsTicked(session.attribute(element, "checked")));
}

} // namespace

void checkCheckBox(const Element *element, std::vector<TagWarning> &warnings)
{
    const Element *checked = element->namedChild("checked");
    if (!checked || !checked->isAttribute())
        return; // a command's output is known only when the form runs
    const OptText trimmed = trimWhitespace(checked->content());
    if (hasText(trimmed) && *trimmed != "1" && *trimmed != "0")
        warnings.push_back({checked->offset(),
                            QStringLiteral("checked \"%1\" leaves the box unticked: only 1 ticks it")
                                .arg(textFromBytes(trimmed->left(40)))});
}

void buildCheckBox(FormSession &session, const Element *element, QLayout *parent)
{
    auto *box = new MCheckBox;
    box->setVarIndex(bindVariable(session, element));
    MEnvVar *store = &session.store();

    readCheckBox(session, element, box);
    if (store)
        QObject::connect(box, &MCheckBox::valueChanged, store, &MEnvVar::updateVal);
    box->changeValue(box->checkBox()->checkState());
    applySizeAttributes(session, element, box);
    placeWidget(parent, box);
}

void reloadCheckBox(FormSession &session, const Element *element, QWidget *widget)
{
    auto *box = qobject_cast<MCheckBox *>(widget);
    if (!box)
        return;
    readCheckBox(session, element, box);
    box->changeValue(box->checkBox()->checkState());
}
