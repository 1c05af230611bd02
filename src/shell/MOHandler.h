#pragma once

#include "shell/OutputStore.h"
#include "shell/RichTextLimits.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

// Routes the output of every command widget to every text log. Each output
// replaces the previous one. Output arrives in pieces while its command runs:
// beginOutput, any number of appendOutput, endOutput. A whole output handed over
// at once (outputGathered) takes the same road in one piece; a null output
// empties the logs like an empty one. The handler keeps the one copy of the
// output that every text log reads.
class MOHandler : public QObject
{
    Q_OBJECT
public:
    explicit MOHandler(QObject *parent = nullptr);

    // The bytes of the last (or the running) output, as far as they were kept.
    const QByteArray &lastOutput() const { return m_store.bytes(); }
    const OutputStore &store() const { return m_store; }
    // Bytes past this are counted, not kept.
    void setOutputLimit(qint64 bytes) { m_store.setLimit(bytes); }
    // Once an output has ended: its text when the logs show it as rich text, else
    // a null string.
    const QString &richText() const { return m_richText; }

    // On in a form with a progress bar: progress lines (see progressLine) of a
    // running output set the bars, and the text logs leave them out.
    void setProgressLines(bool on) { m_progressLines = on; }
    bool progressLines() const { return m_progressLines; }

public Q_SLOTS:
    void outputGathered(const QByteArray &output);
    void beginOutput();
    void appendOutput(const QByteArray &piece);
    // droppedBytes: output that arrived past the kept limit and was left out.
    void endOutput(qint64 droppedBytes = 0);
    // The output that just ended was cut short by a stop; killed: SIGKILL was
    // needed. The logs say so; the kept bytes stay the command's own.
    void reportStopped(bool killed);

Q_SIGNALS:
    // A new output starts: logs empty themselves.
    void outputBegun();
    // The next bytes of the running output, as they arrived.
    void outputAppended(const QByteArray &piece);
    void outputEnded(qint64 droppedBytes);
    // The whole output as text once it has ended: bytes that are not UTF-8 as
    // escapes that copy back unchanged, NUL bytes as U+FFFD, and the line saying
    // how much was left out, if any was.
    void outputEmit(const QString &text);
    // Progress lines of the running output, with progressLines on: the last
    // number and the last text of each piece.
    void progressChanged(int percent);
    void progressTextChanged(const QString &text);
    void outputStopped(bool killed);

private:
    void readProgress(const QByteArray &piece);

    OutputStore m_store;
    QString m_richText;
    bool m_progressLines = false;
    QByteArray m_progressTail;  // the unfinished last line, up to a bound
};


// Qt's own test for rich text (Qt::mightBeRichText), limited to outputs of at
// most kRichTextMaxBytes that its layout shows at once (richTextFits). Others are
// shown as plain text.
bool showsAsRichText(const QByteArray &bytes, const QString &text);
// The limits alone, for a log that always shows rich text.
bool fitsRichTextLayout(const QByteArray &bytes);

// A line that feeds progress bars, as other dialog programs read them: a whole
// number with blanks and a trailing '%' allowed (clamped to 0..100), or "# " and a
// text. The line is given without its '\n'; a trailing '\r' is allowed.
struct ProgressLine
{
    int percent = -1;  // -1: the line sets the text
    QByteArray text;
};
std::optional<ProgressLine> progressLine(QByteArrayView line);

// The output as the logs show it in plain text: NUL bytes as U+FFFD.
QString outputText(QByteArrayView bytes);
