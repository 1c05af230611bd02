#include "widgets/MTextEdit.h"

#include "widgets/WidgetBuilders.h"
#include "widgets/WidgetSetup.h"

#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QSignalBlocker>

#include <algorithm>
#include <climits>

namespace {

// Steps shared by "text", "textbox", "password" and "global": bind, connect, then set the
// initial text so that it reaches the store.
MTextEdit *createTextBox(FormSession &session, const Element *element, bool hidden = false)
{
    auto *box = new MTextEdit;
    // Before any text: Qt tells accessibility tools what is typed into a box that shows it.
    if (hidden)
        box->hideText();
    bindValue(session, element, box);

    const OptText text = startValue(session, element);
    box->setInitialText(text);
    return box;
}

void placeTextBox(FormSession &session, const Element *element, QLayout *parent, MTextEdit *box)
{
    applySizeAttributes(session, element, box->lineEdit());
    placeWidget(parent, box);
}

} // namespace

MTextEdit::MTextEdit(QWidget *parent) : QWidget(parent), m_lineEdit(new QLineEdit)
{
    m_lineEdit->setObjectName(QStringLiteral("lineEdit"));
    // Qt's own limit (32767) would cut a longer value at the first edit.
    m_lineEdit->setMaxLength(kMaxEditableLength);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    wrapInColumn(this, m_lineEdit);
    connect(m_lineEdit, &QLineEdit::textChanged, this, &MTextEdit::changeValue);
}

void MTextEdit::hideText()
{
    // Qt's line edit neither copies nor drags a text it shows as bullets, and
    // tells accessibility tools only its length.
    m_lineEdit->setEchoMode(QLineEdit::Password);
    m_lineEdit->setDragEnabled(false);
    // Cut would delete the text without copying it, and undo is off in this mode.
    m_lineEdit->installEventFilter(this);
}

bool MTextEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_lineEdit && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)
        && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Cut)) {
        event->accept();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool MTextEdit::hidesText() const { return m_lineEdit->echoMode() != QLineEdit::Normal; }

void MTextEdit::setInitialText(const OptText &text)
{
    const QString value = toQString(text);
    const bool tooLong = value.size() > kMaxEditableLength;
    m_lineEdit->setReadOnly(tooLong);
    m_lineEdit->setToolTip(tooLong ? tr("%n characters: too long to edit here; commands see all of them", nullptr,
                                        int(std::min<qsizetype>(value.size(), INT_MAX)))
                                   : QString());
    Q_EMIT valueDecoded(m_varIndex, value);
    {
        // The box may show only the start of a long value: that must not reach the store.
        const QSignalBlocker quiet(tooLong ? m_lineEdit : nullptr);
        m_lineEdit->setText(value);
    }
    // QLineEdit stays silent when the text does not change (the empty text on a
    // fresh box); the store gets the whole text either way.
    Q_EMIT valueChanged(m_varIndex, value);
}

void MTextEdit::changeValue(const QString &text)
{
    Q_EMIT valueChanged(m_varIndex, text);
}

void buildTextBox(FormSession &session, const Element *element, QLayout *parent)
{
    placeTextBox(session, element, parent, createTextBox(session, element));
}

void buildPassword(FormSession &session, const Element *element, QLayout *parent)
{
    placeTextBox(session, element, parent, createTextBox(session, element, true));
}

void buildGlobal(FormSession &session, const Element *element)
{
    session.keepHidden(createTextBox(session, element));
}

void reloadTextBox(FormSession &session, const Element *element, QWidget *widget)
{
    if (auto *box = qobject_cast<MTextEdit *>(widget))
        box->setInitialText(startValue(session, element));
}
