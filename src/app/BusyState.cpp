#include "app/BusyState.h"

#include "shell/CommandRunner.h"
#include "shell/MOHandler.h"

#include <QCoreApplication>
#include <QEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QShortcutEvent>

namespace {

// Text logs may still be scrolled and read: that changes no value and runs nothing.
bool inTextLog(const QObject *object)
{
    for (; object; object = object->parent()) {
        if (object->objectName() == QLatin1String("textLog"))
            return true;
    }
    return false;
}

// Eats the user's input for as long as it is installed; Escape stops the command.
// Qt's ExcludeUserInputEvents would only postpone input and replay it afterwards.
// Input is judged where it reaches a widget, not at the window, which only passes
// it on.
class InputBlocker : public QObject
{
public:
    InputBlocker()
    {
        if (QCoreApplication *app = QCoreApplication::instance())
            app->installEventFilter(this);
        if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~InputBlocker() override
    {
        if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
            QGuiApplication::restoreOverrideCursor();
    }

protected:
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (receiver->isWindowType())
                return false;
            if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
                stopRunningCommand();
            return true;
        case QEvent::Shortcut:
            // An Escape shortcut of the form must not swallow the stop.
            if (static_cast<QShortcutEvent *>(event)->key() == QKeySequence(Qt::Key_Escape))
                stopRunningCommand();
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            if (receiver->isWindowType())
                return false;
            return static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton || !inTextLog(receiver);
        case QEvent::Wheel:
            return !receiver->isWindowType() && !inTextLog(receiver);
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return !receiver->isWindowType();
        default:
            return false;
        }
    }
};

} // namespace

std::optional<QByteArray> runUserCommand(const QByteArray &command, bool keepOutput)
{
    if (commandRunning() || commandsRefused())
        return std::nullopt;
    const QPointer<MOHandler> handler(outputHandler());
    std::function<void(const QByteArray &)> onPiece;
    if (handler) {
        handler->beginOutput();
        onPiece = [handler](const QByteArray &piece) {
            if (handler)
                handler->appendOutput(piece);
        };
    }
    CommandResult result;
    {
        const InputBlocker blocker;
        result = runCommandLive(command, onPiece, keepOutput);
    }
    if (handler) {
        handler->endOutput(result.dropped);
        if (result.stopped)
            handler->reportStopped(result.killed);
    }
    return result.output;
}
