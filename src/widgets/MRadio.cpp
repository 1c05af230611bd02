#include "widgets/MRadio.h"

#include "markup/StaticValue.h"
#include "widgets/EntryLines.h"
#include "widgets/WidgetBuilders.h"
#include "widgets/WidgetSetup.h"

#include <QButtonGroup>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

MRadio::MRadio(QWidget *parent)
    : QWidget(parent), m_group(new QGroupBox), m_rows(new QWidget), m_buttons(new QButtonGroup(this))
{
    m_group->setObjectName(QStringLiteral("groupBox"));
    m_rows->setObjectName(QStringLiteral("radioRows"));
    m_buttons->setExclusive(true);
    auto *inGroup = new QVBoxLayout(m_group);
    inGroup->addWidget(m_rows);
    wrapInColumn(this, m_group);
    connect(m_buttons, &QButtonGroup::idToggled, this, &MRadio::toggled);
}

QRadioButton *MRadio::button(int index) const
{
    return index >= 0 && index < count() ? m_radios[size_t(index)] : nullptr;
}

void MRadio::clearEntries()
{
    if (m_scroll) {
        // Back into the group: the new entries may be few enough to show without scrolling.
        m_group->layout()->addWidget(m_scroll->takeWidget());
        delete m_scroll;
        m_scroll = nullptr;
    }
    for (QRadioButton *radio : m_radios) {
        m_buttons->removeButton(radio);
        delete radio;
    }
    delete m_rows->layout();
    m_radios.clear();
    m_entries.clear();
    m_chosen = -1;
}

void MRadio::setEntries(const OptText &text)
{
    const EntryLines lines = readEntryLines(text);
    std::vector<QString> entries;
    entries.reserve(lines.entries.size());
    for (const QByteArray &entry : lines.entries)
        entries.push_back(textFromBytes(entry));
    // The same entries again (a timed read): the buttons, the choice and where the
    // user scrolled to stay.
    if (m_chosen >= 0 && entries == m_entries) {
        choose(m_chosen);
        return;
    }
    const std::optional<QString> kept = m_chosen >= 0 ? std::optional(m_entries[size_t(m_chosen)]) : std::nullopt;
    clearEntries();
    QBoxLayout *layout = m_horizontal ? static_cast<QBoxLayout *>(new QHBoxLayout(m_rows)) : new QVBoxLayout(m_rows);
    layout->setContentsMargins(0, 0, 0, 0);
    m_entries = std::move(entries);
    m_radios.reserve(m_entries.size());
    for (const QString &entry : m_entries) {
        const int index = int(m_radios.size());
        // An entry's '&' is shown, not taken for a shortcut.
        auto *radio = new QRadioButton(QString(entry).replace(QLatin1Char('&'), QStringLiteral("&&")), m_rows);
        // Only the chosen button takes Tab; the arrows move between them.
        radio->setFocusPolicy(Qt::ClickFocus);
        radio->installEventFilter(this);
        m_radios.push_back(radio);
        // With an id of its own: otherwise Qt looks through every id for a free one.
        m_buttons->addButton(radio, index);
        layout->addWidget(radio);
    }
    layout->addStretch(1);
    scrollIfLong();
    const auto same = kept ? std::find(m_entries.begin(), m_entries.end(), *kept) : m_entries.end();
    if (same != m_entries.end())
        choose(int(same - m_entries.begin()));
    else if (count() > 0)
        choose(lines.marked >= 0 ? int(lines.marked) : 0);
    else
        Q_EMIT valueChanged(m_varIndex, QString());
}

void MRadio::scrollIfLong()
{
    const QSize content = m_rows->sizeHint();
    const int most = 36 * fontMetrics().height();
    if (m_horizontal ? content.width() <= most : count() <= kRowsShown)
        return;
    m_group->layout()->removeWidget(m_rows);
    m_scroll = new QScrollArea;
    m_scroll->setObjectName(QStringLiteral("radioScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(m_rows);
    m_scroll->installEventFilter(this);
    // The buttons stand on the group's own background, as without scrolling.
    m_rows->setAutoFillBackground(false);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_group->layout()->addWidget(m_scroll);
    if (m_horizontal) {
        m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_scroll->setMinimumHeight(content.height() + m_scroll->horizontalScrollBar()->sizeHint().height());
    } else {
        const int shown = content.height() / count() * kRowsShown;
        m_scroll->setMinimumSize(std::min(content.width(), most) + m_scroll->verticalScrollBar()->sizeHint().width(),
                                 shown);
    }
}

void MRadio::choose(int index)
{
    QRadioButton *radio = button(index);
    if (!radio)
        return;
    if (index == m_chosen)
        Q_EMIT valueChanged(m_varIndex, m_entries[size_t(index)]);
    else
        radio->setChecked(true);
}

void MRadio::toggled(int index, bool checked)
{
    QRadioButton *radio = button(index);
    if (!radio)
        return;
    radio->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
    if (!checked)
        return;
    m_chosen = index;
    Q_EMIT valueChanged(m_varIndex, m_entries[size_t(index)]);
}

bool MRadio::eventFilter(QObject *watched, QEvent *event)
{
    // The chosen entry is in view when the form opens, not only once Tab reaches it.
    if (watched == m_scroll && event->type() == QEvent::Show) {
        if (QRadioButton *radio = button(m_chosen))
            m_scroll->ensureWidgetVisible(radio);
        return false;
    }
    auto *radio = qobject_cast<QRadioButton *>(watched);
    const int from = radio ? m_buttons->id(radio) : -1;
    if (from < 0)
        return QWidget::eventFilter(watched, event);
    // Only keys bring the focus out of sight: a click lands on a button in view (scrolling
    // would move it from under the pointer), and the window's activation by a click
    // gives the focus back where the user may have scrolled away from.
    if (event->type() == QEvent::FocusIn && m_scroll) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason
            || reason == Qt::OtherFocusReason)
            m_scroll->ensureWidgetVisible(radio);
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    int to;
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        to = from - 1;
        break;
    case Qt::Key_Down:
    case Qt::Key_Right:
        to = from + 1;
        break;
    case Qt::Key_Home:
        to = 0;
        break;
    case Qt::Key_End:
        to = count() - 1;
        break;
    default:
        return false;
    }
    to = std::clamp(to, 0, count() - 1);
    choose(to);
    // At either end the key is still taken, so that it never leaves the group.
    m_radios[size_t(to)]->setFocus(Qt::OtherFocusReason);
    return true;
}

void checkRadio(const Element *element, std::vector<TagWarning> &warnings)
{
    const Element *mode = element->namedChild("mode");
    if (!mode || !mode->isAttribute() || mode->contentView().isEmpty())
        return; // a command's output is known only when the form runs
    const QByteArrayView value = mode->contentView();
    if (value[0] != 'h' && value[0] != 'v')
        warnings.push_back({mode->offset(),
                            QStringLiteral("mode \"%1\" changes nothing: a radio group takes h (a row) or v (a "
                                           "column), by the first letter")
                                .arg(textFromBytes(value.first(std::min<qsizetype>(value.size(), 40))))});
}

void buildRadio(FormSession &session, const Element *element, QLayout *parent)
{
    auto *radio = new MRadio;
    bindValue(session, element, radio, &MEnvVar::takeDecoded);

    // A '&' of the caption is shown, as in labels: Alt+letter belongs to buttons, check boxes and tabs.
    radio->groupBox()->setTitle(toQString(session.attribute(element, "title")).replace(u'&', QStringLiteral("&&")));
    const OptText mode = session.attribute(element, "mode");
    radio->setHorizontal(hasText(mode) && mode->startsWith('h'));
    radio->setEntries(session.value(element));

    applySizeAttributes(session, element, radio->groupBox());
    placeWidget(parent, radio);
}

void reloadRadio(FormSession &session, const Element *element, QWidget *widget)
{
    if (auto *radio = qobject_cast<MRadio *>(widget))
        radio->setEntries(session.value(element));
}
