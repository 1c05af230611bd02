#include "widgets/MNumber.h"

#include "markup/StaticValue.h"
#include "widgets/WidgetBuilders.h"
#include "widgets/WidgetSetup.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <optional>

namespace {

using F = NumberTexts::Field;

constexpr int kMaxDecimals = 9;
// Units that a double still holds exactly; a slider's must fit an int.
constexpr qint64 kSpinBoxLimit = 999'999'999'999'999;
constexpr qint64 kSliderLimit = INT_MAX;

constexpr unsigned bit(F field) { return 1u << field; }

qint64 scaleOf(int decimals)
{
    qint64 scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    return scale;
}

// A decimal number as written by hand: "5", "-2.5", "+1e3", ".5", blanks around
// it. Not "1,5", "5px", "inf" or "0x10".
std::optional<double> parseDecimal(QByteArrayView text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && (isBlank(text[b]) || text[b] == '\r'))
        ++b;
    while (e > b && (isBlank(text[e - 1]) || text[e - 1] == '\r'))
        --e;
    if (b < e && text[b] == '+' && (e - b == 1 || text[b + 1] != '-'))
        ++b;
    if (b == e)
        return std::nullopt;
    const char *first = text.data() + b, *last = text.data() + e;
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString shown(const OptText &text) { return toQString(text); }

struct Reader
{
    const NumberTexts &texts;
    std::vector<NumberProblem> *problems;
    int decimals = 0;
    qint64 limit = kSpinBoxLimit;

    bool given(F field) const { return hasText(texts.text[field]); }

    void problem(unsigned involves, F at, QString message) const
    {
        if (problems)
            problems->push_back({involves | bit(at), at, std::move(message)});
    }

    // The value in units, held within the limit; beyond says that it was not.
    qint64 units(double value, bool *beyond) const
    {
        const double scaled = value * double(scaleOf(decimals));
        *beyond = std::abs(scaled) > double(limit);
        return *beyond ? (scaled < 0 ? -limit : limit) : std::llround(scaled);
    }

    int readDecimals()
    {
        if (!given(F::Decimals))
            return 0;
        const OptText &text = texts.text[F::Decimals];
        const std::optional<double> n = parseDecimal(*text);
        if (!n || *n != std::floor(*n)) {
            problem(0, F::Decimals,
                    QStringLiteral("decimals \"%1\" is not a whole number: 0 is used").arg(shown(text)));
            return 0;
        }
        const int clamped = int(std::clamp(*n, 0.0, double(kMaxDecimals)));
        if (clamped != *n)
            problem(0, F::Decimals,
                    QStringLiteral("decimals \"%1\" is outside 0 to %2: %3 is used")
                        .arg(shown(text))
                        .arg(kMaxDecimals)
                        .arg(clamped));
        return clamped;
    }

    qint64 readEnd(F field, const char *name, qint64 fallback)
    {
        if (!given(field))
            return fallback;
        const OptText &text = texts.text[field];
        const std::optional<double> n = parseDecimal(*text);
        if (!n) {
            problem(bit(F::Decimals), field,
                    QStringLiteral("%1 \"%2\" is not a number: %3 is used")
                        .arg(QLatin1String(name), shown(text), numberText(fallback, decimals)));
            return fallback;
        }
        bool beyond = false;
        const qint64 value = units(*n, &beyond);
        if (beyond)
            problem(bit(F::Decimals), field,
                    QStringLiteral("%1 \"%2\" is beyond what this element can hold: %3 is used")
                        .arg(QLatin1String(name), shown(text), numberText(value, decimals)));
        return value;
    }

    qint64 readStep()
    {
        const qint64 fallback = std::min(scaleOf(decimals), limit);
        if (!given(F::Step))
            return fallback;
        const OptText &text = texts.text[F::Step];
        const std::optional<double> n = parseDecimal(*text);
        if (!n || *n <= 0) {
            problem(bit(F::Decimals), F::Step,
                    QStringLiteral("step \"%1\" is not a number greater than 0: %2 is used")
                        .arg(shown(text), numberText(fallback, decimals)));
            return fallback;
        }
        bool beyond = false;
        const qint64 step = units(*n, &beyond);
        if (step < 1) {
            problem(bit(F::Decimals), F::Step,
                    QStringLiteral("step \"%1\" is finer than %2 show: %3 is used")
                        .arg(shown(text),
                             decimals == 1 ? QStringLiteral("1 decimal") : QStringLiteral("%1 decimals").arg(decimals),
                             numberText(1, decimals)));
            return 1;
        }
        return step;
    }

    qint64 readStart(qint64 minimum, qint64 maximum)
    {
        if (!given(F::Start))
            return minimum;
        const OptText &text = texts.text[F::Start];
        const std::optional<double> n = parseDecimal(*text);
        const unsigned range = bit(F::Minimum) | bit(F::Maximum) | bit(F::Decimals);
        if (!n) {
            problem(range, F::Start,
                    QStringLiteral("text \"%1\" is not a number: the value starts at the minimum, %2")
                        .arg(shown(text), numberText(minimum, decimals)));
            return minimum;
        }
        bool beyond = false;
        const qint64 start = units(*n, &beyond);
        const qint64 clamped = std::clamp(start, minimum, maximum);
        if (beyond || clamped != start)
            problem(range, F::Start,
                    QStringLiteral("text \"%1\" is outside %2 to %3: the value starts at %4")
                        .arg(shown(text), numberText(minimum, decimals), numberText(maximum, decimals),
                             numberText(clamped, decimals)));
        return clamped;
    }
};

} // namespace

QString numberText(qint64 units, int decimals)
{
    if (decimals <= 0)
        return QString::number(units);
    const qint64 scale = scaleOf(decimals);
    const quint64 magnitude = units < 0 ? 0 - quint64(units) : quint64(units);
    return (units < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / quint64(scale))
        + QLatin1Char('.') + QString::number(magnitude % quint64(scale)).rightJustified(decimals, QLatin1Char('0'));
}

NumberSettings readNumberSettings(const NumberTexts &texts, bool slider, std::vector<NumberProblem> *problems)
{
    Reader reader{texts, problems};
    NumberSettings s;
    s.decimals = reader.decimals = reader.readDecimals();
    reader.limit = slider ? kSliderLimit : kSpinBoxLimit;
    const qint64 hundred = std::min(100 * scaleOf(s.decimals), reader.limit);
    s.minimum = reader.readEnd(F::Minimum, "min", 0);
    s.maximum = reader.readEnd(F::Maximum, "max", hundred);
    if (s.minimum > s.maximum) {
        // Most likely the two were written the wrong way round.
        const F at = reader.given(F::Minimum) ? F::Minimum : F::Maximum;
        reader.problem(bit(F::Minimum) | bit(F::Maximum) | bit(F::Decimals), at,
                       QStringLiteral("min %1 is greater than max %2: the two are swapped")
                           .arg(numberText(s.minimum, s.decimals), numberText(s.maximum, s.decimals)));
        std::swap(s.minimum, s.maximum);
    }
    s.step = reader.readStep();
    s.start = reader.readStart(s.minimum, s.maximum);
    return s;
}

MNumber::MNumber(Kind kind, QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout;
    if (kind == SpinBox) {
        m_spinBox = new QDoubleSpinBox;
        m_spinBox->setObjectName(QStringLiteral("spinBox"));
        // Shown as commands see it: "1.5", never "1,5" or "1,000".
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
        m_spinBox->setLocale(c);
        layout->addWidget(m_spinBox);
        connect(m_spinBox, &QDoubleSpinBox::valueChanged, this, &MNumber::report);
    } else {
        m_slider = new QSlider(Qt::Horizontal);
        m_slider->setObjectName(QStringLiteral("slider"));
        m_valueLabel = new QLabel;
        m_valueLabel->setObjectName(QStringLiteral("valueLabel"));
        m_valueLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        layout->addWidget(m_slider, 1);
        layout->addWidget(m_valueLabel);
        connect(m_slider, &QSlider::valueChanged, this, &MNumber::report);
    }
    setContentsMargins(0, 0, 0, 0);
    layout->setContentsMargins(0, 0, 0, 0);
    setLayout(layout);
}

QWidget *MNumber::input() const
{
    return m_spinBox ? static_cast<QWidget *>(m_spinBox) : m_slider;
}

void MNumber::setSettings(const NumberSettings &s)
{
    m_decimals = s.decimals;
    const double scale = double(scaleOf(s.decimals));
    if (m_spinBox) {
        const QSignalBlocker quiet(m_spinBox);
        m_spinBox->setDecimals(s.decimals);
        m_spinBox->setRange(double(s.minimum) / scale, double(s.maximum) / scale);
        m_spinBox->setSingleStep(double(s.step) / scale);
        m_spinBox->setValue(double(s.start) / scale);
    } else {
        const QSignalBlocker quiet(m_slider);
        m_slider->setRange(int(s.minimum), int(s.maximum));
        const int step = int(std::min<qint64>(s.step, INT_MAX));
        m_slider->setSingleStep(step);
        m_slider->setPageStep(int(std::min<qint64>(s.step * 10, INT_MAX)));
        m_slider->setValue(int(s.start));
        // Wide enough for either end, so the slider does not jump while it moves.
        const QFontMetrics metrics = m_valueLabel->fontMetrics();
        m_valueLabel->setMinimumWidth(std::max(metrics.horizontalAdvance(numberText(s.minimum, s.decimals)),
                                               metrics.horizontalAdvance(numberText(s.maximum, s.decimals))));
    }
    report();
}

qint64 MNumber::units() const
{
    if (m_slider)
        return m_slider->value();
    return std::llround(m_spinBox->value() * double(scaleOf(m_decimals)));
}

QString MNumber::valueText() const { return numberText(units(), m_decimals); }

void MNumber::report()
{
    const QString text = valueText();
    if (m_valueLabel)
        m_valueLabel->setText(text);
    Q_EMIT valueChanged(m_varIndex, text);
}

namespace {

// Range, step and value, clamped as the kind of widget needs; reported.
void readNumber(FormSession &session, const Element *element, MNumber *number)
{
    NumberTexts texts;
    texts.text[F::Minimum] = session.attribute(element, "min");
    texts.text[F::Maximum] = session.attribute(element, "max");
    texts.text[F::Step] = session.attribute(element, "step");
    texts.text[F::Decimals] = session.attribute(element, "decimals");
    const OptText start = startValue(session, element);
    texts.text[F::Start] = start;
    number->setSettings(readNumberSettings(texts, number->slider() != nullptr, nullptr));
}

void buildNumberWidget(MNumber::Kind kind, FormSession &session, const Element *element, QLayout *parent)
{
    auto *number = new MNumber(kind);
    bindValue(session, element, number);

    readNumber(session, element, number);

    applySizeAttributes(session, element, number->input());
    placeWidget(parent, number);
}

} // namespace

void buildNumber(FormSession &session, const Element *element, QLayout *parent)
{
    buildNumberWidget(MNumber::SpinBox, session, element, parent);
}

void buildSlider(FormSession &session, const Element *element, QLayout *parent)
{
    buildNumberWidget(MNumber::Slider, session, element, parent);
}

void reloadNumber(FormSession &session, const Element *element, QWidget *widget)
{
    if (auto *number = qobject_cast<MNumber *>(widget))
        readNumber(session, element, number);
}

void checkNumber(const Element *element, std::vector<TagWarning> &warnings)
{
    static const char *const names[NumberTexts::FieldCount] = {"min", "max", "step", "decimals", "text"};
    NumberTexts texts;
    StaticValue values[NumberTexts::FieldCount];
    unsigned unknown = 0;
    for (int f = 0; f < NumberTexts::FieldCount; ++f) {
        values[f] = staticAttribute(element, names[f]);
        if (values[f].known)
            texts.text[f] = values[f].text;
        else if (!values[f].absent())
            unknown |= 1u << f;
    }
    // A command's output stands in front of the text attribute.
    if (!startsFromTextAttribute(element))
        unknown |= bit(F::Start);
    std::vector<NumberProblem> problems;
    readNumberSettings(texts, element->name() == "slider", &problems);
    for (NumberProblem &p : problems) {
        if (!(p.involves & unknown))
            warnings.push_back({values[p.at].offset(element), std::move(p.message)});
    }
}
