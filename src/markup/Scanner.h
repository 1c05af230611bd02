#pragma once

// The mark-up's lexical rules: where a tag starts and ends, its name, its
// attributes and their quotes. Everything that reads mc text goes through here.

#include "markup/Element.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

// Offsets are kept in 32 bits.
constexpr qsizetype kMaxTextSize = 0x7fffffff;

// One tag as the reader sees it. Offsets count from the start of the text.
struct TagRecord
{
    quint32 start = 0;                  // the '<'
    quint32 next = 0;                   // just after the '>'
    quint32 nameAt = 0, nameSize = 0;
    quint32 attributesAt = 0, attributesSize = 0; // size 0: no attribute text
    bool closing = false;
    bool selfClosing = false;
    bool inTree = false;                // the tag became an element of the tree

    QByteArrayView name(const QByteArray &text) const { return {text.constData() + nameAt, qsizetype(nameSize)}; }
};

// Why no complete tag starts at the '<' at offset at.
enum class IncompleteTag {
    NoName,    // "<>", "</>": nothing is a tag from here on
    OpenQuote, // a double quote in the tag is never closed, so no '>' ends it
    NoEnd,     // the text ends before a '>'
};
IncompleteTag incompleteTagAt(const QByteArray &text, qsizetype at);

// One tag as the scanner found it. Positions are offsets into the parsed text.
struct ScannedTag
{
    QByteArray name;
    bool closing = false;
    bool selfClosing = false;
    OptText attributeText;
    qsizetype start = 0; // the tag's '<'
    qsizetype next = 0;  // just after the tag's '>'
};

// The first complete tag at or after from and before end, or nothing.
std::optional<ScannedTag> scanTag(const char *text, qsizetype from, qsizetype end);

// One attribute of an attribute text as written. Offsets count from the start of
// the attribute text.
struct AttributeSpan
{
    qsizetype nameAt = 0, nameEnd = 0;
    qsizetype equalsAt = -1;           // -1: no '=' follows: the value is empty
    qsizetype valueAt = 0, valueEnd = 0;
    bool quoted = false;
    bool unterminated = false;         // quoted, and the closing quote never comes
};

// The attributes of an attribute text, in order.
std::vector<AttributeSpan> attributeSpans(QByteArrayView attributeText);
// The same one at a time, without keeping them all (a tag may hold millions).
void visitAttributeSpans(QByteArrayView attributeText, const std::function<void(const AttributeSpan &)> &visit);

// The attributes of an attribute text as name and value pairs, in order.
std::vector<std::pair<QByteArray, QByteArray>> parseAttributes(QByteArrayView attributeText);

// The double quote left open from the '<' at offset at to the end of the text,
// or -1 when every quote after it is closed.
qsizetype openQuoteAfter(const QByteArray &text, qsizetype at);

// The double quote in [from, end) that hides a "closing" text after it (a
// quoted run hides tags), or -1; hiddenAt receives where that text starts.
qsizetype quoteHiding(QByteArrayView text, qsizetype from, qsizetype end, QByteArrayView closing,
                      qsizetype *hiddenAt);

// Static inline: the readers call these once per byte or per tag, and each
// reader gets its own copy to inline.
namespace scan {

// The characters that the scanner stops at, so that a byte of plain text costs
// one look-up.
enum : uchar { kBlankChar = 1, kGtChar = 2, kQuoteChar = 4, kLtChar = 8 };
constexpr std::array<uchar, 256> kCharClass = [] {
    std::array<uchar, 256> c{};
    c[uchar(' ')] = c[uchar('\t')] = c[uchar('\n')] = kBlankChar;
    c[uchar('>')] = kGtChar;
    c[uchar('"')] = kQuoteChar;
    c[uchar('<')] = kLtChar;
    return c;
}();
static inline bool is(char c, uchar classes) { return kCharClass[uchar(c)] & classes; }

// First c (kLtChar or kGtChar) outside a double-quoted run in [from, end); end if none.
static inline qsizetype findUnquoted(const char *text, qsizetype from, qsizetype end, uchar c)
{
    bool quoted = false;
    for (qsizetype i = from; i < end; ++i) {
        if (!is(text[i], kQuoteChar | c))
            continue;
        if (text[i] == '"')
            quoted = !quoted;
        else if (!quoted)
            return i;
    }
    return end;
}

// First '<' outside a double-quoted run, searching [from, end); end if none.
static inline qsizetype findTagStart(const char *text, qsizetype from, qsizetype end)
{
    return findUnquoted(text, from, end, kLtChar);
}

static inline qsizetype skipBlanks(const char *text, qsizetype i, qsizetype end)
{
    while (i < end && isBlank(text[i]))
        ++i;
    return i;
}

// The tag at the first '<' outside quotes from 'from', its parts found in place.
// lt receives that '<', or end when there is none; false when no complete tag
// starts there.
static inline bool scanTagInto(const char *text, qsizetype from, qsizetype end, TagRecord &tag, qsizetype *lt)
{
    const qsizetype start = findTagStart(text, from, end);
    *lt = start;
    if (start >= end)
        return false;
    tag = TagRecord();
    tag.start = quint32(start);
    qsizetype p = skipBlanks(text, start + 1, end);
    if (p >= end)
        return false;
    if (text[p] == '/') {
        tag.closing = true;
        p = skipBlanks(text, p + 1, end);
        if (p >= end)
            return false;
    }
    if (text[p] == '>')
        return false;
    qsizetype q = p + 1;
    while (q < end && !is(text[q], kBlankChar | kGtChar))
        ++q;
    if (q >= end)
        return false;
    qsizetype nameEnd = q;
    if (text[q - 1] == '/' && q - 1 > p)
        --nameEnd;
    tag.nameAt = quint32(p);
    tag.nameSize = quint32(nameEnd - p);

    const qsizetype attrStart = skipBlanks(text, q, end);
    if (attrStart >= end)
        return false;
    const qsizetype gt = findUnquoted(text, attrStart, end, kGtChar);
    if (gt >= end)
        return false;
    tag.next = quint32(gt + 1);

    qsizetype k = gt - 1;
    while (k > start && (isBlank(text[k]) || text[k] == '>'))
        --k;
    qsizetype attrEnd = k + 1;
    if (text[k] == '/') {
        tag.selfClosing = true;
        attrEnd = k;
    }
    tag.attributesAt = quint32(attrStart);
    tag.attributesSize = attrEnd - attrStart >= 2 ? quint32(attrEnd - attrStart) : 0;
    return true;
}

// Calls sink with each attribute of the attribute text s[0, n), in order.
template<typename Sink>
static inline void forEachAttribute(const char *s, qsizetype n, Sink &&sink)
{
    qsizetype i = 0;
    for (;;) {
        i = skipBlanks(s, i, n);
        if (i >= n)
            break;
        AttributeSpan a;
        a.nameAt = i++;
        while (i < n && !isBlank(s[i]) && s[i] != '=')
            ++i;
        a.nameEnd = i;
        // Anything between the name and the next '=' is skipped.
        qsizetype eq = i;
        while (eq < n && s[eq] != '=')
            ++eq;
        if (eq >= n) {
            a.valueAt = a.valueEnd = i;
            sink(a);
            break;
        }
        a.equalsAt = eq;
        i = skipBlanks(s, a.equalsAt + 1, n);
        if (i < n && s[i] == '"') {
            a.quoted = true;
            a.valueAt = i + 1;
            qsizetype close = a.valueAt;
            while (close < n && s[close] != '"')
                ++close;
            a.valueEnd = close;
            a.unterminated = close >= n;
            i = close < n ? close + 1 : n;
        } else {
            a.valueAt = i;
            while (i < n && s[i] != ' ')
                ++i;
            a.valueEnd = i;
            if (i < n)
                ++i;
        }
        sink(a);
    }
}

static inline bool sameName(const char *text, const TagRecord &a, quint32 nameAt, quint32 nameSize)
{
    if (a.nameSize != nameSize)
        return false;
    // Names are short: a plain loop beats a call.
    const char *x = text + a.nameAt, *y = text + nameAt;
    for (quint32 i = 0; i < nameSize; ++i) {
        if (x[i] != y[i])
            return false;
    }
    return true;
}

static inline bool sameName(const char *text, const TagRecord &a, const TagRecord &b)
{
    return sameName(text, a, b.nameAt, b.nameSize);
}

} // namespace scan
