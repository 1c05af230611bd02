#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Why the reader builds no root, or what it found wrong on the way: what, where
// and the names involved. problemText is the one place that puts it into words.
struct ReadProblem
{
    enum Code {
        None,
        NoElement,     // the text holds no tag
        TooLarge,      // more than kMaxTextSize bytes
        TooDeep,       // nesting over kMaxNesting (weighted)
        NoTagName,     // "<>", "</>": no tag is looked for after it
        OpenQuote,     // a double quote in the tag is never closed, so no '>' ends it
        NoTagEnd,      // the text ends before the tag's '>'
        Unclosed,      // the element name opened at offset is never closed
        Stray,         // the closing tag name at offset matches no open element
    };
    ReadProblem() = default;
    ReadProblem(Code c, qsizetype at = -1, QByteArray tag = {}) : code(c), offset(at), name(std::move(tag)) {}

    Code code = None;
    qsizetype offset = -1; // where it lies in the text, or -1
    QByteArray name;       // the element or closing tag
    // Unclosed: the closing tag that closes the element around it; Stray: the
    // innermost open element. Empty (-1) when there is none.
    QByteArray otherName;
    qsizetype otherAt = -1;
};

enum class ProblemWording {
    StartUp, // a sentence of its own, which names the lines
    Check,   // after "FILE:LINE:COLUMN: error: ", which gives the place
};

// The problem in words; lineOf gives the line of an offset.
QString problemText(const ReadProblem &problem, ProblemWording wording, const std::function<int(qsizetype)> &lineOf);

// Why no complete tag starts at the '<' at offset at.
ReadProblem incompleteTagProblem(const QByteArray &text, qsizetype at);

// Texts from the file go into messages byte for byte, cut where a name or a
// text would no longer be readable (a hostile form may hold a 10 MB name).
QString shownBytes(QByteArrayView bytes, qsizetype most = 60);
