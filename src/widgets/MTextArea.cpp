#include "widgets/MTextArea.h"

#include "widgets/MTextEdit.h"
#include "widgets/WidgetBuilders.h"
#include "widgets/WidgetSetup.h"

#include <QLayout>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextDocument>

#include <algorithm>
#include <climits>

MTextArea::MTextArea(QWidget *parent) : QWidget(parent), m_edit(new QPlainTextEdit)
{
    m_edit->setObjectName(QStringLiteral("plainTextEdit"));
    m_edit->setTabChangesFocus(true);
    // Lines wrap between words only: breaking a long line without blanks
    // anywhere costs Qt seconds per keystroke. Such a line scrolls sideways.
    m_edit->setWordWrapMode(QTextOption::WordWrap);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    wrapInColumn(this, m_edit);
    connect(m_edit, &QPlainTextEdit::textChanged, this, &MTextArea::changeValue);
}

QString MTextArea::text() const
{
    // toPlainText would turn no-break spaces into spaces; the raw text has them,
    // with a paragraph separator between lines.
    QString all = m_edit->document()->toRawText();
    all.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return all;
}

void MTextArea::setInitialText(const OptText &text)
{
    const QString value = toQString(text);
    const bool tooLong = value.size() > MTextEdit::kMaxEditableLength;
    m_edit->setReadOnly(tooLong);
    m_edit->setToolTip(tooLong ? tr("%n characters: too long to edit here; commands see all of them", nullptr,
                                    int(std::min<qsizetype>(value.size(), INT_MAX)))
                               : QString());
    Q_EMIT valueDecoded(m_varIndex, value);
    {
        // What the box shows may differ from the value (only its start, or a
        // carriage return taken for a line break): the store keeps the value until
        // the user edits.
        const QSignalBlocker quiet(m_edit);
        m_edit->setPlainText(tooLong ? value.first(MTextEdit::kMaxEditableLength) : value);
    }
    Q_EMIT valueChanged(m_varIndex, value);
}

void MTextArea::changeValue() { Q_EMIT valueChanged(m_varIndex, text()); }

void buildTextArea(FormSession &session, const Element *element, QLayout *parent)
{
    auto *area = new MTextArea;
    bindValue(session, element, area);

    const OptText text = startValue(session, element);
    area->setInitialText(text);

    applySizeAttributes(session, element, area->textEdit());
    placeWidget(parent, area);
}

void reloadTextArea(FormSession &session, const Element *element, QWidget *widget)
{
    if (auto *box = qobject_cast<MTextArea *>(widget))
        box->setInitialText(startValue(session, element));
}
