#include "widgets/MComboBox.h"

#include "widgets/EntryLines.h"
#include "widgets/WidgetBuilders.h"
#include "widgets/WidgetSetup.h"

#include <QComboBox>
#include <QLayout>
#include <QSignalBlocker>

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

void MComboBox::replaceEntries(const OptText &text)
{
    const bool had = m_comboBox->currentIndex() >= 0;
    const QString kept = m_comboBox->currentText();
    const EntryLines lines = readEntryLines(text);
    QStringList entries;
    for (const QByteArray &entry : lines.entries)
        entries.append(textFromBytes(entry));
    // The same entries: an open list keeps its place, the choice stays.
    bool same = entries.size() == m_comboBox->count();
    for (int i = 0; same && i < m_comboBox->count(); ++i)
        same = m_comboBox->itemText(i) == entries[i];
    if (same) {
        changeValue(kept);
        return;
    }
    {
        // One report at the end, not one per step of the rebuild.
        const QSignalBlocker quiet(m_comboBox);
        m_comboBox->clear();
        for (const QString &entry : std::as_const(entries))
            addEntry(entry);
        int index = had ? m_comboBox->findText(kept, Qt::MatchExactly | Qt::MatchCaseSensitive) : -1;
        if (index < 0)
            index = lines.marked >= 0 ? int(lines.marked) : (m_comboBox->count() > 0 ? 0 : -1);
        m_comboBox->setCurrentIndex(index);
    }
    changeValue(m_comboBox->currentText());
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
    bindValue(session, element, combo, &MEnvVar::takeDecoded);

    addComboEntries(combo, session.value(element));
    applySizeAttributes(session, element, combo->comboBox());
    placeWidget(parent, combo);
}

void reloadComboBox(FormSession &session, const Element *element, QWidget *widget)
{
    if (auto *combo = qobject_cast<MComboBox *>(widget))
        combo->replaceEntries(session.value(element));
}
