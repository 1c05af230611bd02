#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

// Qt lays rich text out in time that grows with its size, with the depth to which
// its elements nest (the HTML reader walks up the open elements for each new one)
// and twice over for each level of nested tables (a table lays every cell out once
// to measure it and once to place it). Rich text is shown only when a bound on
// that work, taken from the text alone, admits it; anything else is shown as plain
// text. The bounds are measured: bench/bench_richtext lays out the worst text they
// admit.
inline constexpr qint64 kRichTextMaxBytes = 256 * 1024;
// No run of more characters than this without a blank or line end.
inline constexpr qint64 kRichTextMaxRun = 16 * 1024;
// Elements open at once, counting every one the reader might keep open.
inline constexpr int kRichTextMaxNesting = 32;
// Pictures (<img>): Qt's reader takes time that grows with the cube of their number.
inline constexpr int kRichTextMaxPictures = 512;
// Tables within tables.
inline constexpr int kRichTextMaxTables = 8;
// Each character counts 1, each table cell kRichTextCellCost, each element
// kRichTextElementCost for every element around it, all doubled for every table
// around them; the sum must stay within kRichTextMaxCost.
inline constexpr qint64 kRichTextCellCost = 64;
inline constexpr qint64 kRichTextElementCost = 4;
inline constexpr qint64 kRichTextMaxCost = 512 * 1024;
// A label lays its text out a dozen times and more before it is shown (size hints,
// height for width): it takes a sixteenth of that.
inline constexpr qint64 kRichTextMaxLabelCost = kRichTextMaxCost / 16;

// True when text may be shown as rich text: within the bounds above. Says
// nothing about whether the text is rich text at all (Qt::mightBeRichText).
bool richTextFits(QStringView text, qint64 maxCost = kRichTextMaxCost);

// True when a label or message may show text as Qt would guess it: plain text,
// or rich text within the bounds for labels.
bool mayShowAsRichText(const QString &text);
