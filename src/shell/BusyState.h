#pragma once

#include <QByteArray>

#include <optional>

class QWidget;

// Runs a command that the user started (a click, a double click, Return on an
// entry). Meanwhile the window keeps painting and shows a busy cursor, mouse, key
// and wheel input to the form is dropped (never replayed afterwards), and Escape
// stops the command, as does the Stop of the running bar (when a window for it is
// set), the one widget that takes input meanwhile. Its output streams to the
// output handler as it arrives and ends there before this returns; the gathered
// output comes back only with keepOutput. Nothing when another command runs or kiv
// is exiting: nothing ran. stopped, if given, says whether a stop ended it.
std::optional<QByteArray> runUserCommand(const QByteArray &command, bool keepOutput, bool *stopped = nullptr);

// The window that shows the running bar while a user command runs (made at the
// first such command, as a child of the window); null: none.
void setRunningBarWindow(QWidget *window);
