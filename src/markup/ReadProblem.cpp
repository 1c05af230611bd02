#include "markup/ReadProblem.h"

#include "markup/Document.h"
#include "markup/LosslessText.h"
#include "markup/Scanner.h"

#include <cerrno>
#include <cstring>

namespace {

bool isComment(QByteArrayView name) { return name.startsWith("!--"); }

} // namespace

QString problemText(const ReadProblem &p, ProblemWording wording, const std::function<int(qsizetype)> &lineOf)
{
    const bool check = wording == ProblemWording::Check;
    // Start-up names the element whole; --check cuts long names.
    const QString name = check ? shownBytes(p.name) : textFromBytes(p.name);
    switch (p.code) {
    case ReadProblem::None:
        return {};
    case ReadProblem::NoElement:
        return check ? QStringLiteral("no element found: the file holds no tag, so there is no form")
                     : QStringLiteral("no element found");
    case ReadProblem::TooLarge:
        return QString::fromLocal8Bit(std::strerror(EFBIG));
    case ReadProblem::TooDeep:
        return check ? tooDeepText() + QStringLiteral(": kiv refuses the form") : tooDeepText(lineOf(p.offset));
    case ReadProblem::NoTagName:
        return check ? QStringLiteral("'<' followed by '>' is no tag, and the reader looks for no tags after it: "
                                      "nothing that follows is read")
                     : QStringLiteral("'<' on line %1 starts no tag, and the reader stops looking for tags there")
                           .arg(lineOf(p.offset));
    case ReadProblem::OpenQuote:
        return check ? QStringLiteral("unterminated quoted value: this double quote is never closed, so the tag "
                                      "runs to the end of the file and nothing after it is read")
                     : QStringLiteral("the tag on line %1 never ends: a double quote in it is never closed")
                           .arg(lineOf(p.offset));
    case ReadProblem::NoTagEnd:
        return check ? QStringLiteral("this tag never ends: no '>' follows it")
                     : QStringLiteral("the tag on line %1 never ends: no '>' follows it").arg(lineOf(p.offset));
    case ReadProblem::Unclosed: {
        if (!check)
            return QStringLiteral("element <%1> opened on line %2 is never closed").arg(name).arg(lineOf(p.offset));
        QString text = isComment(p.name) ? QStringLiteral("'<!--' opens an element named '!--' that is never closed "
                                                          "(kiv's format has no comments)")
                                         : QStringLiteral("<%1> is never closed").arg(name);
        if (p.otherAt >= 0)
            text += QStringLiteral("; </%1> on line %2 closes the element around it")
                        .arg(shownBytes(p.otherName))
                        .arg(lineOf(p.otherAt));
        return text;
    }
    case ReadProblem::Stray:
        if (!check)
            return QStringLiteral("closing tag </%1> on line %2 matches no open element").arg(name).arg(lineOf(p.offset));
        if (p.otherAt < 0)
            return QStringLiteral("closing tag </%1> matches no open element").arg(name);
        return QStringLiteral("closing tag </%1> does not match <%2> on line %3")
            .arg(name, shownBytes(p.otherName))
            .arg(lineOf(p.otherAt));
    }
    return {};
}

ReadProblem incompleteTagProblem(const QByteArray &text, qsizetype at)
{
    switch (incompleteTagAt(text, at)) {
    case IncompleteTag::NoName:
        return {ReadProblem::NoTagName, at};
    case IncompleteTag::OpenQuote:
        return {ReadProblem::OpenQuote, at};
    case IncompleteTag::NoEnd:
        break;
    }
    return {ReadProblem::NoTagEnd, at};
}

QString shownBytes(QByteArrayView bytes, qsizetype most)
{
    if (bytes.size() <= most)
        return textFromBytes(bytes);
    // Not inside a UTF-8 sequence: half a character would show as escapes.
    qsizetype cut = most;
    while (cut > most - 3 && (uchar(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    return textFromBytes(bytes.first(cut)) + QStringLiteral("...");
}
