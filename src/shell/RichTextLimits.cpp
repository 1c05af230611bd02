#include "shell/RichTextLimits.h"

#include <QList>
#include <QString>
#include <QTextDocument>

#include <algorithm>

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }
bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u':'; }

bool isOneOf(const QString &name, std::initializer_list<const char16_t *> names)
{
    for (const char16_t *n : names) {
        if (name == QStringView(n))
            return true;
    }
    return false;
}

// Follows the elements a text opens and closes the way Qt's reader does, erring
// on the side of more: a close tag counts only when it matches the innermost open
// element or the ones a like element ends implicitly (p, li, td, ...); a table cell
// outside a row is taken as nesting for good, because Qt then keeps the table open.
class Scanner
{
public:
    explicit Scanner(qint64 maxCost) : m_maxCost(maxCost) {}
    bool run(QStringView text);

private:
    void open(const QString &name);
    void close(const QString &name);
    void push(const QString &name);
    void pop();
    const QString &top() const { return m_open.isEmpty() ? m_none : m_open.last(); }

    QList<QString> m_open;
    QString m_none;
    QString m_raw;  // inside <style> or <script>: only its own end counts
    int m_tables = 0;
    int m_pictures = 0;
    qint64 m_weight = 1;
    qint64 m_cost = 0;
    const qint64 m_maxCost;
    bool m_over = false;
};

void Scanner::push(const QString &name)
{
    m_open.append(name);
    if (name == u"table") {
        ++m_tables;
        m_weight *= 2;
    }
    if (m_open.size() > kRichTextMaxNesting || m_tables > kRichTextMaxTables)
        m_over = true;
}

void Scanner::pop()
{
    if (m_open.takeLast() == u"table") {
        --m_tables;
        m_weight /= 2;
    }
}

void Scanner::open(const QString &name)
{
    if (isOneOf(name, {u"br", u"hr", u"img"}))
        return;
    const bool cell = isOneOf(name, {u"td", u"th"});
    if (isOneOf(name, {u"p", u"li"}) && top() == name)
        pop();
    if (isOneOf(name, {u"dt", u"dd"}) && isOneOf(top(), {u"dt", u"dd"}))
        pop();
    if ((cell || name == u"tr") && isOneOf(top(), {u"td", u"th"}))
        pop();
    if (name == u"tr" && top() == u"tr")
        pop();
    if ((cell && top() != u"tr") || (name == u"tr" && !isOneOf(top(), {u"table", u"thead", u"tbody", u"tfoot"})))
        push(QString());
    push(name);
    // Qt's reader looks up through the open elements for each new one.
    m_cost += kRichTextElementCost * m_open.size() * m_weight;
    if (cell)
        m_cost += kRichTextCellCost * m_weight;
    if (isOneOf(name, {u"style", u"script"}))
        m_raw = name;
}

void Scanner::close(const QString &name)
{
    if (!m_raw.isNull()) {
        if (name != m_raw)
            return;
        m_raw = QString();
    }
    qsizetype k = m_open.size() - 1;
    while (k >= 0 && m_open[k] != name && isOneOf(m_open[k], {u"p", u"li", u"dt", u"dd", u"td", u"th", u"tr"}))
        --k;
    if (k < 0 || m_open[k] != name)
        return;
    while (m_open.size() > k)
        pop();
}

bool Scanner::run(QStringView text)
{
    qsizetype run = 0;
    const qsizetype n = text.size();
    // Every character counts once, mark-up included, at the weight of the tables
    // open before it.
    qsizetype counted = 0;
    auto countTo = [&](qsizetype end) {
        for (; counted < end; ++counted) {
            run = isBlank(text[counted]) ? 0 : run + 1;
            if (run > kRichTextMaxRun)
                m_over = true;
        }
    };
    for (qsizetype i = 0; i < n && !m_over && m_cost <= m_maxCost;) {
        const qsizetype from = i;
        if (text[i] != u'<') {
            i = text.indexOf(u'<', i);
            if (i < 0)
                i = n;
            m_cost += (i - from) * m_weight;
            countTo(i);
            continue;
        }
        if (text.sliced(i).startsWith(u"<!--")) {
            const qsizetype end = text.indexOf(u"-->", i + 4);
            i = end < 0 ? n : end + 3;
            m_cost += (i - from) * m_weight;
            countTo(i);
            continue;
        }
        // Qt takes "< b" for a tag, but "</ b" or "< /b" for no end tag.
        const bool closing = i + 1 < n && text[i + 1] == u'/';
        qsizetype j = i + 1 + closing;
        while (!closing && j < n && text[j].isSpace())
            ++j;
        const qsizetype nameStart = j;
        while (j < n && isNameChar(text[j]))
            ++j;
        if (j == nameStart) {
            i = from + 1;
            m_cost += m_weight;
            countTo(i);
            continue;
        }
        const QString name = text.sliced(nameStart, j - nameStart).toString().toLower();
        // The rest of the tag, with quoted values that may hold '>'.
        QChar quote;
        for (; j < n && (!quote.isNull() || text[j] != u'>'); ++j) {
            if (text[j] == quote)
                quote = QChar();
            else if (quote.isNull() && (text[j] == u'"' || text[j] == u'\''))
                quote = text[j];
        }
        const bool selfClosing = j < n && text[j - 1] == u'/';
        i = std::min(j + 1, n);
        m_cost += (i - from) * m_weight;
        countTo(i);
        if (!closing && name == u"img" && ++m_pictures > kRichTextMaxPictures)
            m_over = true;
        if (closing)
            close(name);
        else if (selfClosing)
            continue;
        else if (m_raw.isNull())
            open(name);
        else
            push(name);
    }
    return !m_over && m_cost <= m_maxCost;
}

} // namespace

bool richTextFits(QStringView text, qint64 maxCost)
{
    if (text.size() > kRichTextMaxBytes)
        return false;
    return Scanner(maxCost).run(text);
}

bool mayShowAsRichText(const QString &text)
{
    return !Qt::mightBeRichText(text) || richTextFits(text, kRichTextMaxLabelCost);
}
