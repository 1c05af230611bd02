#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Routes the output of every command widget to every text log. Each output
// replaces the previous one; a null output empties the logs like an empty one.
class MOHandler : public QObject
{
    Q_OBJECT
public:
    explicit MOHandler(QObject *parent = nullptr);

    const QByteArray &lastOutput() const { return m_lastOutput; }

public Q_SLOTS:
    void outputGathered(const QByteArray &output);

Q_SIGNALS:
    void outputEmit(const QString &text);

private:
    QByteArray m_lastOutput;
};

// The process-wide output handler (document mode only; null otherwise).
MOHandler *outputHandler();
void setOutputHandler(MOHandler *handler);
