#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

// Shell data are bytes; Qt widgets hold Unicode. A Latin-1 file name listed by a
// command must reach the next command unchanged, so the trip through a widget is
// lossless: valid UTF-8 decodes as usual, and each byte of anything else becomes
// one private-use character U+F700 + byte (U+F780..U+F7FF), which encodes back to
// that byte. Valid UTF-8 for those characters is escaped byte by byte as well, so
// bytesFromText(textFromBytes(b)) == b for every b. Widgets show the escapes as
// unknown glyphs.
QString textFromBytes(QByteArrayView bytes);
QByteArray bytesFromText(QStringView text);

// True for the characters that stand for single bytes.
inline bool isByteEscape(char16_t c) { return c >= 0xF780 && c <= 0xF7FF; }
// True when text holds one of them.
inline bool hasByteEscape(QStringView text)
{
    for (const QChar c : text) {
        if (isByteEscape(c.unicode()))
            return true;
    }
    return false;
}

// A value as a widget shows it, edit after edit. A person may type or paste
// U+F780..U+F7FF as well: only escapes that kiv itself decoded stand for bytes.
// Unchanged text keeps its bytes, around an edit too; new text reaches commands
// as its UTF-8. The widget says which texts kiv decoded (a start value, an entry
// picked from a list): those are taken whole, their escapes as bytes.
class EditedText
{
public:
    EditedText() = default;
    explicit EditedText(QByteArrayView decoded);

    const QString &text() const { return m_text; }
    const QByteArray &bytes() const { return m_bytes; }
    // An edit: what it left alone keeps its bytes, what it brought is text.
    void setText(const QString &text);
    // A text kiv decoded from bytes.
    void setDecoded(const QString &text);

private:
    void takeAllEscapes();

    QString m_text;
    QList<qsizetype> m_escapes; // positions in m_text of escapes kiv decoded
    QByteArray m_bytes;
};

// Decodes output that arrives in pieces: a UTF-8 sequence cut between two pieces
// is held back until the rest arrives (or escaped at the end).
class LosslessDecoder
{
public:
    QString decode(QByteArrayView piece);
    // What is still held back, escaped byte by byte; the decoder starts afresh.
    QString finish();

private:
    QByteArray m_pending;
};
