#pragma once

#include <QByteArray>
#include <QByteArrayView>
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
