#include "widgets/MDate.h"

#include "markup/StaticValue.h"
#include "widgets/WidgetBuilders.h"
#include "widgets/WidgetSetup.h"

#include <QCoreApplication>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <algorithm>

namespace {

// Qt sizes a date box for the texts of its first and last dates; with day or month
// names a text of another date can be wider ("Wednesday", "September"): the date
// with the widest month and weekday counts as well.
class DateBox : public QDateEdit
{
public:
    QSize sizeHint() const override { return QDateEdit::sizeHint() + QSize(namesWider(), 0); }
    QSize minimumSizeHint() const override { return QDateEdit::minimumSizeHint() + QSize(namesWider(), 0); }

private:
    int namesWider() const
    {
        const QString format = displayFormat();
        // Digits alone are as wide as Qt measures them.
        if (!format.contains(QLatin1String("ddd")) && !format.contains(QLatin1String("MMM")))
            return 0;
        const QString key = format + font().key();
        if (key != m_sizedFor) {
            m_sizedFor = key;
            const QFontMetrics metrics(font());
            auto width = [&](QDate date) { return metrics.horizontalAdvance(textFromDateTime(date.startOfDay())); };
            // The widest month on the same weekday, then in it the widest weekday
            // (the 22nd to the 28th hold each once).
            auto sameWeekday = [](int m) { return QDate(2026, m, 22 + (10 - QDate(2026, m, 22).dayOfWeek()) % 7); };
            QDate widest = sameWeekday(1);
            for (int m = 2; m <= 12; ++m) {
                if (width(sameWeekday(m)) > width(widest))
                    widest = sameWeekday(m);
            }
            const int month = widest.month();
            int day = 22;
            for (int d = 23; d <= 28; ++d) {
                if (width(QDate(2026, month, d)) > width(QDate(2026, month, day)))
                    day = d;
            }
            m_wider = std::max(0, width(QDate(2026, month, day))
                                      - std::max(width(minimumDate()), width(maximumDate())));
        }
        return m_wider;
    }

    mutable QString m_sizedFor;
    mutable int m_wider = 0;
};

} // namespace

MDate::MDate(QWidget *parent) : QWidget(parent), m_dateEdit(new DateBox)
{
    m_dateEdit->setObjectName(QStringLiteral("dateEdit"));
    m_dateEdit->setCalendarPopup(true);
    // Month and day names as QDate writes the value, so the box shows exactly it.
    m_dateEdit->setLocale(QLocale::c());
    wrapInColumn(this, m_dateEdit);
    setFormat(isoFormat());
    connect(m_dateEdit, &QDateEdit::dateChanged, this, &MDate::report);
    m_dateEdit->installEventFilter(this);
}

QString MDate::formatProblem(const QString &format)
{
    if (format.isEmpty())
        return QStringLiteral("is empty");
    bool quoted = false, date = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (QStringView(u"dMy").contains(c))
            date = true;
        else if (QStringView(u"hHmsaAtz").contains(c))
            return QStringLiteral("has time letters (h, m, s, a, t, z); text meant as it is goes in single quotes");
    }
    return date ? QString() : QStringLiteral("has no day (d), month (M) or year (y)");
}

bool MDate::eventFilter(QObject *watched, QEvent *event)
{
    // F4 and Alt+Down open the calendar, as they open a combo box's list. The
    // date box only opens it for a click on its arrow, so give it one.
    if (watched == m_dateEdit && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_F4 && key->modifiers() == Qt::NoModifier)
            || (key->key() == Qt::Key_Down && key->modifiers() == Qt::AltModifier)) {
            QStyleOptionComboBox option;
            option.initFrom(m_dateEdit);
            option.editable = true;
            option.subControls = QStyle::SC_All;
            const QPoint arrow =
                m_dateEdit->style()
                    ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, m_dateEdit)
                    .center();
            for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                QMouseEvent click(type, arrow, m_dateEdit->mapToGlobal(arrow), Qt::LeftButton,
                                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
                QCoreApplication::sendEvent(m_dateEdit, &click);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MDate::setFormat(const QString &format)
{
    const QSignalBlocker quiet(m_dateEdit);
    m_format = formatProblem(format).isEmpty() ? format : isoFormat();
    m_dateEdit->setDisplayFormat(m_format);
    if (m_dateEdit->displayFormat() != m_format) {
        m_format = isoFormat();
        m_dateEdit->setDisplayFormat(m_format);
    }
}

void MDate::setInitialText(const OptText &text)
{
    QDate date = QDate::fromString(toQString(trimWhitespace(text)), m_format);
    if (!date.isValid())
        date = QDate::currentDate();
    {
        const QSignalBlocker quiet(m_dateEdit);
        m_dateEdit->setDate(date);
    }
    report();
}

QString MDate::valueText() const { return m_dateEdit->date().toString(m_format); }

void MDate::report() { Q_EMIT valueChanged(m_varIndex, valueText()); }

namespace {

void readDate(FormSession &session, const Element *element, MDate *date)
{
    if (const OptText format = session.attribute(element, "format"))
        date->setFormat(toQString(*format));
    const OptText start = startValue(session, element);
    date->setInitialText(start);
}

} // namespace

void buildDate(FormSession &session, const Element *element, QLayout *parent)
{
    auto *date = new MDate;
    bindValue(session, element, date, &MEnvVar::takeDecoded);

    readDate(session, element, date);

    applySizeAttributes(session, element, date->dateEdit());
    placeWidget(parent, date);
}

void checkDate(const Element *element, std::vector<TagWarning> &warnings)
{
    const StaticValue format = staticAttribute(element, "format");
    QString used = MDate::isoFormat();
    if (format.known) {
        const QString written = toQString(format.text);
        if (const QString problem = MDate::formatProblem(written); !problem.isEmpty())
            warnings.push_back({format.offset(element),
                                written.isEmpty()
                                    ? QStringLiteral("format %1: %2 is used").arg(problem, used)
                                    : QStringLiteral("format \"%1\" %2: %3 is used").arg(written, problem, used)});
        else
            used = written;
    } else if (!format.absent()) {
        return;
    }
    const StaticValue text = staticAttribute(element, "text");
    if (!text.known || !startsFromTextAttribute(element))
        return;
    const QString start = toQString(trimWhitespace(text.text));
    if (!start.isEmpty() && !QDate::fromString(start, used).isValid())
        warnings.push_back({text.offset(element),
                            QStringLiteral("text \"%1\" is no date in the format %2: the date starts today")
                                .arg(start, used)});
}

void reloadDate(FormSession &session, const Element *element, QWidget *widget)
{
    if (auto *date = qobject_cast<MDate *>(widget))
        readDate(session, element, date);
}
