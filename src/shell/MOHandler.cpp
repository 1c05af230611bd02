#include "shell/MOHandler.h"

#include "markup/LosslessText.h"
#include "markup/TextRules.h"
#include "shell/TerminalText.h"

#include <QMetaMethod>
#include <QTextDocument>

QString outputText(QByteArrayView bytes)
{
    // NUL bytes would cut the text short in a widget.
    QString text = textFromBytes(bytes);
    text.replace(QChar(u'\0'), QChar(u'\uFFFD'));
    return text;
}

bool fitsRichTextLayout(const QByteArray &bytes)
{
    return bytes.size() <= kRichTextMaxBytes && richTextFits(outputText(bytes));
}

bool showsAsRichText(const QByteArray &bytes, const QString &text)
{
    return bytes.size() <= kRichTextMaxBytes && Qt::mightBeRichText(text) && richTextFits(text);
}

std::optional<ProgressLine> progressLine(QByteArrayView line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.startsWith("# "))
        return ProgressLine{-1, line.sliced(2).toByteArray()};
    qsizetype i = 0, end = line.size();
    while (i < end && isBlank(line[i]))
        ++i;
    while (end > i && isBlank(line[end - 1]))
        --end;
    if (end > i && line[end - 1] == '%')
        --end;
    if (i < end && (line[i] == '-' || line[i] == '+'))
        ++i;
    const qsizetype digits = i;
    long long value = 0;
    for (; i < end && line[i] >= '0' && line[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (line[i] - '0'), 1000);
    if (i == digits || i != end)
        return std::nullopt;
    const bool negative = digits > 0 && line[digits - 1] == '-';
    return ProgressLine{negative ? 0 : int(std::min<long long>(value, 100)), {}};
}

MOHandler::MOHandler(QObject *parent) : QObject(parent) {}

void MOHandler::outputGathered(const QByteArray &output)
{
    beginOutput();
    if (!output.isEmpty())
        appendOutput(output);
    endOutput(0);
}

void MOHandler::beginOutput()
{
    m_store.clear();
    m_richText.clear();
    m_progressTail.clear();
    Q_EMIT outputBegun();
}

void MOHandler::appendOutput(const QByteArray &piece)
{
    m_store.append(piece);
    if (m_progressLines)
        readProgress(piece);
    Q_EMIT outputAppended(piece);
}

void MOHandler::readProgress(const QByteArray &piece)
{
    // A progress line is short: a longer unfinished line is no progress line.
    constexpr qsizetype kLongest = 4096;
    // Only the last number and text of a piece are told: a piece may hold
    // hundreds of thousands of them, and the bars show the last anyway.
    int percent = -1;
    std::optional<QByteArray> text;
    qsizetype start = 0;
    for (qsizetype nl = piece.indexOf('\n'); nl >= 0; nl = piece.indexOf('\n', start)) {
        const QByteArrayView line = m_progressTail.isEmpty()
                                        ? QByteArrayView(piece).sliced(start, nl - start)
                                        : QByteArrayView(m_progressTail += piece.sliced(start, nl - start));
        if (line.size() <= kLongest) {
            if (auto p = progressLine(line)) {
                if (p->percent >= 0)
                    percent = p->percent;
                else
                    text = std::move(p->text);
            }
        }
        m_progressTail.clear();
        start = nl + 1;
    }
    if (m_progressTail.size() <= kLongest)
        m_progressTail += QByteArrayView(piece).sliced(start).first(
            std::min<qsizetype>(piece.size() - start, kLongest + 1 - m_progressTail.size()));
    if (text)
        Q_EMIT progressTextChanged(outputText(*text));
    if (percent >= 0)
        Q_EMIT progressChanged(percent);
}

void MOHandler::reportStopped(bool killed) { Q_EMIT outputStopped(killed); }

void MOHandler::endOutput(qint64 droppedBytes)
{
    m_store.finish(droppedBytes);
    const QByteArray &bytes = m_store.bytes();
    const bool whole = m_store.droppedBytes() == 0;
    // Decoded once, for the rich-text test and for outputEmit.
    QString text;
    if (whole && bytes.size() <= kRichTextMaxBytes) {
        text = outputText(bytes);
        // Colours and other escape sequences are drawn or dropped, never judged.
        const QByteArray judged = withoutEscapes(bytes);
        const QString judgedText = judged.size() == bytes.size() ? text : outputText(judged);
        if (showsAsRichText(judged, judgedText))
            m_richText = judgedText;
    }
    Q_EMIT outputEnded(m_store.droppedBytes());
    if (!isSignalConnected(QMetaMethod::fromSignal(&MOHandler::outputEmit)))
        return;
    if (text.isNull())
        text = outputText(bytes);
    if (!whole)
        text += (bytes.endsWith('\n') || bytes.endsWith('\r') ? QString() : QStringLiteral("\n")) + m_store.leftOutNotice();
    Q_EMIT outputEmit(text);
}
