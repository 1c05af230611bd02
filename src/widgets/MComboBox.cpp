#include "widgets/MComboBox.h"

#include "shell/MEnvVar.h"
#include "widgets/EntryLines.h"
#include "widgets/WidgetBuilders.h"
#include "widgets/WidgetSetup.h"

#include <QComboBox>
#include <QLayout>

MComboBox::MComboBox(QWidget *parent) : QWidget(parent), m_comboBox(new QComboBox)
{
    m_comboBox->setObjectName(QStringLiteral("comboBox"));
    wrapInColumn(this, m_comboBox);
    // currentIndexChanged fires only when the entry changes, so picking the current
    // entry again reports nothing; entries with equal texts still count as changes.
    connect(m_comboBox, &QComboBox::currentIndexChanged, this, &MComboBox::currentChanged);
}

void MComboBox::currentChanged(int index)
{
    changeValue(m_comboBox->itemText(index));
}

void MComboBox::addEntry(const QString &text)
{
    m_comboBox->insertItem(m_comboBox->count(), text);
}

void MComboBox::selectEntry(const OptText &text)
{
    const QString wanted = toQString(text);
    const int index = m_comboBox->findText(wanted, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return;
    m_comboBox->setCurrentIndex(index);
    Q_EMIT valueChanged(m_varIndex, wanted);
}

void MComboBox::changeValue(const QString &text)
{
    Q_EMIT valueChanged(m_varIndex, text);
}

void addComboEntries(MComboBox *combo, const OptText &text)
{
    const EntryLines lines = readEntryLines(text);
    for (const QByteArray &entry : lines.entries)
        combo->addEntry(textFromBytes(entry));
    if (lines.marked >= 0)
        combo->selectEntry(lines.entries[size_t(lines.marked)]);
}

void buildComboBox(FormSession &session, const Element *element, QLayout *parent)
{
    auto *combo = new MComboBox;
    combo->setVarIndex(bindVariable(session, element));
    MEnvVar *store = &session.store();
    if (store)
        QObject::connect(combo, &MComboBox::valueChanged, store, &MEnvVar::updateVal);

    addComboEntries(combo, session.value(element));
    applySizeAttributes(session, element, combo->comboBox());
    if (parent)
        parent->addWidget(combo);
    else
        delete combo;
}
