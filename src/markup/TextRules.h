#pragma once

#include <QByteArrayView>
#include <QChar>

#include <optional>

// What separates words in the mark-up and in a line of output.
inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
inline bool isBlank(QChar c) { return c.unicode() < 0x80 && isBlank(char(c.unicode())); }

// The leading integer of text as "%d" reads it: C whitespace (\v, \f and \r too,
// as scanf skips them), a sign, digits; clamped to int; nothing when it does not
// begin with one.
std::optional<int> leadingInt(QByteArrayView text);

// The same for a text that starts with a digit (no blank, no sign: "+9" is no
// size), kept within 0..max.
std::optional<int> leadingDigits(QByteArrayView text, int max);
