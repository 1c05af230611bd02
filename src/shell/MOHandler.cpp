#include "shell/MOHandler.h"

#include "markup/LosslessText.h"

#include <QMetaMethod>

namespace {
MOHandler *g_handler = nullptr;
}

MOHandler *outputHandler() { return g_handler; }
void setOutputHandler(MOHandler *handler) { g_handler = handler; }

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
    m_lastOutput = QByteArray("");
    Q_EMIT outputBegun();
}

void MOHandler::appendOutput(const QByteArray &piece)
{
    m_lastOutput += piece;
    Q_EMIT outputAppended(piece);
}

void MOHandler::endOutput(qint64 droppedBytes)
{
    Q_EMIT outputEnded(droppedBytes);
    if (!isSignalConnected(QMetaMethod::fromSignal(&MOHandler::outputEmit)))
        return;
    // NUL bytes would cut the text short in a widget.
    QString text = textFromBytes(m_lastOutput);
    text.replace(QChar(u'\0'), QChar(u'\uFFFD'));
    Q_EMIT outputEmit(text);
}
