#include "widgets/MDate.h"

#include "builder/Builders.h"
#include "builder/Common.h"
#include "builder/KnownTags.h"
#include "builder/StaticValue.h"
#include "shell/MEnvVar.h"

#include <QDateEdit>
#include <QLayout>
#include <QSignalBlocker>

MDate::MDate(QWidget *parent) : QWidget(parent), m_dateEdit(new QDateEdit)
{
    m_dateEdit->setObjectName(QStringLiteral("dateEdit"));
    m_dateEdit->setCalendarPopup(true);
    // Month and day names as QDate writes the value, so the box shows exactly it.
    m_dateEdit->setLocale(QLocale::c());
    wrapInColumn(this, m_dateEdit);
    setFormat(isoFormat());
    connect(m_dateEdit, &QDateEdit::dateChanged, this, &MDate::report);
}

bool MDate::takesFormat(const QString &format)
{
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y')))
            return true;
    }
    return false;
}

void MDate::setFormat(const QString &format)
{
    const QSignalBlocker quiet(m_dateEdit);
    m_format = takesFormat(format) ? format : isoFormat();
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

void buildDate(frmMain *window, const Element *element, QLayout *parent)
{
    auto *date = new MDate;
    date->setVarIndex(bindVariable(element));
    if (MEnvVar *store = variableStore())
        QObject::connect(date, &MDate::valueChanged, store, &MEnvVar::updateVal);

    if (const OptText format = element->attribute("format", true))
        date->setFormat(toQString(*format));
    OptText start = element->value(true);
    if (!hasText(start))
        start = element->attribute("text", true);
    date->setInitialText(start);

    applySizeAttributes(window, element, date->dateEdit());
    if (parent)
        parent->addWidget(date);
    else
        delete date;
}

void checkDate(const Element *element, std::vector<TagWarning> &warnings)
{
    const StaticValue format = staticAttribute(element, "format");
    QString used = MDate::isoFormat();
    if (format.known) {
        const QString written = toQString(format.text);
        if (written.isEmpty())
            warnings.push_back({format.offset(element), QStringLiteral("format is empty: %1 is used").arg(used)});
        else if (!MDate::takesFormat(written))
            warnings.push_back({format.offset(element),
                                QStringLiteral("format \"%1\" has no day (d), month (M) or year (y): %2 is used")
                                    .arg(written, used)});
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
