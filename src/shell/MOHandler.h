#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Routes the output of every command widget to every text log. Each output
// replaces the previous one. Output arrives in pieces while its command runs:
// beginOutput, any number of appendOutput, endOutput. A whole output handed over
// at once (outputGathered) takes the same road in one piece; a null output
// empties the logs like an empty one.
class MOHandler : public QObject
{
    Q_OBJECT
public:
    explicit MOHandler(QObject *parent = nullptr);

    // The bytes of the last (or the running) output, as far as they were kept.
    const QByteArray &lastOutput() const { return m_lastOutput; }

public Q_SLOTS:
    void outputGathered(const QByteArray &output);
    void beginOutput();
    void appendOutput(const QByteArray &piece);
    // droppedBytes: output that arrived past the kept limit and was left out.
    void endOutput(qint64 droppedBytes = 0);

Q_SIGNALS:
    // A new output starts: logs empty themselves.
    void outputBegun();
    // The next bytes of the running output, as they arrived.
    void outputAppended(const QByteArray &piece);
    void outputEnded(qint64 droppedBytes);
    // The whole output as text once it has ended: bytes that are not UTF-8 as
    // escapes that copy back unchanged, NUL bytes as U+FFFD.
    void outputEmit(const QString &text);

private:
    QByteArray m_lastOutput;
};

// The process-wide output handler (document mode only; null otherwise).
MOHandler *outputHandler();
void setOutputHandler(MOHandler *handler);
