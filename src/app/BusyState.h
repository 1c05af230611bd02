#pragma once

#include <QByteArray>

#include <optional>

class RunningBar;

// Runs a command that the user started (a click, a double click, Return on an
// entry). Meanwhile the window keeps painting and shows a busy cursor, mouse, key
// and wheel input to the form is dropped (never replayed afterwards), and Escape
// stops the command, as does the Stop of the running bar (if one is set), the only
// widget that takes input meanwhile. Its output streams to the output handler as it arrives and
// ends there before this returns; the gathered output comes back only with
// keepOutput. Nothing when another command runs or kiv is exiting: nothing ran.
std::optional<QByteArray> runUserCommand(const QByteArray &command, bool keepOutput);

// The bar that shows while a user command runs; null: none. Not owned.
void setRunningBar(RunningBar *bar);
