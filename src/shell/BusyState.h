#pragma once

#include <QByteArray>

#include <functional>

class FormSession;
class QObject;

// Queues a command that the user started (a click, a double click, Return on an
// entry) in the session's queue, ahead of its reads. While it runs the window keeps
// painting and shows a busy cursor, mouse, key and wheel input to the form is
// dropped (never replayed afterwards), and Escape stops the command, as does the
// Stop of the running bar (on the session's bar window), the one widget that takes
// input meanwhile. Its output streams to the session's output handler; once it has
// ended there, done gets the gathered output (only with keepOutput). Nothing is
// called when the job is dropped (the context gone, kiv exiting).
void runUserCommand(FormSession &session, const QByteArray &command, bool keepOutput, QObject *context,
                    std::function<void(const QByteArray &)> done);
