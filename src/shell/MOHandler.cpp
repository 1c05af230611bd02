#include "shell/MOHandler.h"

#include "markup/LosslessText.h"

namespace {
MOHandler *g_handler = nullptr;
}

MOHandler *outputHandler() { return g_handler; }
void setOutputHandler(MOHandler *handler) { g_handler = handler; }

MOHandler::MOHandler(QObject *parent) : QObject(parent) {}

void MOHandler::outputGathered(const QByteArray &output)
{
    m_lastOutput = output;
    // Bytes that are not UTF-8 become escapes that copy back unchanged; NUL
    // bytes would cut the text short in the widget.
    QString text = textFromBytes(m_lastOutput);
    text.replace(QChar(u'\0'), QChar(u'\uFFFD'));
    Q_EMIT outputEmit(text);
}
