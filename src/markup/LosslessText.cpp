#include "markup/LosslessText.h"

#include <algorithm>

namespace {

constexpr char16_t kEscapeBase = 0xF700;

bool isContinuation(uchar c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at p (RFC 3629: no overlong forms, no
// surrogates, nothing past U+10FFFF), 0 when there is none, or -1 when the n bytes
// at p are the start of one that was cut short. Sequences for the escape
// characters count as not well-formed.
int sequenceLength(const uchar *p, qsizetype n)
{
    const uchar c = p[0];
    int len;
    uchar lo = 0x80, hi = 0xBF; // range of the second byte
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0)
            lo = 0xA0;
        else if (c == 0xED)
            hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0)
            lo = 0x90;
        else if (c == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    for (int k = 1; k < len; ++k) {
        if (k >= n)
            return -1;
        const uchar b = p[k];
        if (k == 1 ? (b < lo || b > hi) : !isContinuation(b))
            return 0;
    }
    // EF 9E 80..EF 9F BF encode U+F780..U+F7FF, the escapes themselves.
    if (c == 0xEF && (p[1] == 0x9E || p[1] == 0x9F))
        return 0;
    return len;
}

// Decodes [0, n) into out; returns how many bytes at the end were held back
// because they may be the start of a sequence (only when holdBack).
qsizetype decodeInto(const uchar *p, qsizetype n, bool holdBack, QString &out)
{
    qsizetype run = 0, i = 0;
    auto flush = [&](qsizetype to) {
        // fromUtf8 drops a byte order mark at the start of what it is given.
        if (to - run >= 3 && p[run] == 0xEF && p[run + 1] == 0xBB && p[run + 2] == 0xBF) {
            out += QChar(char16_t(0xFEFF));
            run += 3;
        }
        if (to > run)
            out += QString::fromUtf8(reinterpret_cast<const char *>(p + run), to - run);
    };
    while (i < n) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const int len = sequenceLength(p + i, n - i);
        if (len > 0) {
            i += len;
            continue;
        }
        if (len < 0 && holdBack) {
            flush(i);
            return n - i;
        }
        flush(i);
        out += QChar(char16_t(kEscapeBase + p[i]));
        run = ++i;
    }
    flush(n);
    return 0;
}

} // namespace

QString textFromBytes(QByteArrayView bytes)
{
    QString out;
    out.reserve(bytes.size());
    decodeInto(reinterpret_cast<const uchar *>(bytes.data()), bytes.size(), false, out);
    return out;
}

EditedText::EditedText(QByteArrayView decoded) : m_text(textFromBytes(decoded)), m_bytes(decoded.toByteArray())
{
    takeAllEscapes();
}

void EditedText::setDecoded(const QString &text)
{
    m_text = text;
    takeAllEscapes();
    m_bytes = bytesFromText(text);
}

void EditedText::takeAllEscapes()
{
    m_escapes.clear();
    for (qsizetype i = 0; i < m_text.size(); ++i) {
        if (isByteEscape(m_text[i].unicode()))
            m_escapes.append(i);
    }
}

void EditedText::setText(const QString &text)
{
    if (text == m_text && text.isNull() == m_text.isNull())
        return;
    const qsizetype oldSize = m_text.size();
    // What the edit left alone: the same characters before it and after it.
    const qsizetype shorter = std::min(oldSize, text.size());
    qsizetype prefix = 0;
    while (prefix < shorter && m_text[prefix] == text[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && m_text[oldSize - 1 - suffix] == text[text.size() - 1 - suffix])
        ++suffix;
    // Keys bring one character at a time. Several at once are pasted, and the
    // escapes in them come out of kiv: nothing else shows these characters.
    const QStringView brought = QStringView(text).sliced(prefix, text.size() - prefix - suffix);
    if (brought.size() > 1 && hasByteEscape(brought)) {
        setDecoded(text);
        return;
    }
    QList<qsizetype> kept;
    for (const qsizetype at : std::as_const(m_escapes)) {
        if (at < prefix)
            kept.append(at);
        else if (at >= oldSize - suffix)
            kept.append(at - oldSize + text.size());
    }
    m_text = text;
    m_escapes = kept;
    if (m_escapes.isEmpty()) {
        m_bytes = m_text.toUtf8();
        return;
    }
    QByteArray out;
    qsizetype run = 0;
    for (const qsizetype at : std::as_const(m_escapes)) {
        out += QStringView(m_text).sliced(run, at - run).toUtf8();
        out += char(m_text[at].unicode() - kEscapeBase);
        run = at + 1;
    }
    out += QStringView(m_text).sliced(run).toUtf8();
    m_bytes = out;
}

QByteArray bytesFromText(QStringView text)
{
    qsizetype first = 0;
    while (first < text.size() && !isByteEscape(text[first].unicode()))
        ++first;
    if (first == text.size())
        return text.toUtf8();
    QByteArray out = text.first(first).toUtf8();
    qsizetype run = first;
    for (qsizetype i = first; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (!isByteEscape(c))
            continue;
        out += text.sliced(run, i - run).toUtf8();
        out += char(c - kEscapeBase);
        run = i + 1;
    }
    out += text.sliced(run).toUtf8();
    return out;
}

QString LosslessDecoder::decode(QByteArrayView piece)
{
    QString out;
    // A piece ends inside a sequence only now and then: joining it to the held
    // bytes costs one copy of that piece.
    QByteArray joined;
    if (!m_pending.isEmpty()) {
        joined = m_pending + piece.toByteArray();
        piece = joined;
    }
    const qsizetype held = decodeInto(reinterpret_cast<const uchar *>(piece.data()), piece.size(), true, out);
    m_pending = piece.last(held).toByteArray();
    return out;
}

QString LosslessDecoder::finish()
{
    QString out;
    decodeInto(reinterpret_cast<const uchar *>(m_pending.constData()), m_pending.size(), false, out);
    m_pending.clear();
    return out;
}
