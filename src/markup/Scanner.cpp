#include "markup/Scanner.h"

using namespace scan;

IncompleteTag incompleteTagAt(const QByteArray &text, qsizetype at)
{
    const char *s = text.constData();
    const qsizetype end = text.size();
    qsizetype p = skipBlanks(s, at + 1, end);
    if (p < end && s[p] == '/')
        p = skipBlanks(s, p + 1, end);
    if (p < end && s[p] == '>')
        return IncompleteTag::NoName;
    while (p < end && !isBlank(s[p]) && s[p] != '>')
        ++p;
    bool quoted = false;
    for (; p < end; ++p)
        quoted ^= s[p] == '"';
    return quoted ? IncompleteTag::OpenQuote : IncompleteTag::NoEnd;
}

std::optional<ScannedTag> scanTag(const char *text, qsizetype from, qsizetype end)
{
    TagRecord t;
    qsizetype lt = 0;
    if (!scanTagInto(text, from, end, t, &lt))
        return std::nullopt;
    ScannedTag tag;
    tag.name = QByteArray(text + t.nameAt, t.nameSize);
    tag.closing = t.closing;
    tag.selfClosing = t.selfClosing;
    if (t.attributesSize)
        tag.attributeText = QByteArray(text + t.attributesAt, t.attributesSize);
    tag.start = t.start;
    tag.next = t.next;
    return tag;
}

std::vector<AttributeSpan> attributeSpans(QByteArrayView attributeText)
{
    std::vector<AttributeSpan> spans;
    forEachAttribute(attributeText.data(), attributeText.size(), [&](const AttributeSpan &a) { spans.push_back(a); });
    return spans;
}

void visitAttributeSpans(QByteArrayView attributeText, const std::function<void(const AttributeSpan &)> &visit)
{
    forEachAttribute(attributeText.data(), attributeText.size(), visit);
}

std::vector<std::pair<QByteArray, QByteArray>> parseAttributes(QByteArrayView attributeText)
{
    std::vector<std::pair<QByteArray, QByteArray>> out;
    const char *s = attributeText.data();
    forEachAttribute(s, attributeText.size(), [&](const AttributeSpan &a) {
        out.emplace_back(QByteArray(s + a.nameAt, a.nameEnd - a.nameAt),
                         QByteArray(s + a.valueAt, a.valueEnd - a.valueAt));
    });
    return out;
}

qsizetype openQuoteAfter(const QByteArray &text, qsizetype at)
{
    qsizetype quote = -1;
    bool quoted = false;
    for (qsizetype i = at; i < text.size(); ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
            if (quoted)
                quote = i;
        }
    }
    return quoted ? quote : -1;
}

qsizetype quoteHiding(QByteArrayView text, qsizetype from, qsizetype end, QByteArrayView closing,
                      qsizetype *hiddenAt)
{
    bool quoted = false;
    qsizetype quote = -1;
    for (qsizetype i = from; i < end; ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
            quote = i;
        } else if (quoted && text[i] == '<' && text.sliced(i).startsWith(closing)) {
            *hiddenAt = i;
            return quote;
        }
    }
    return -1;
}
