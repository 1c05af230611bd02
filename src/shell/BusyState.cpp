#include "shell/BusyState.h"

#include "shell/RunningBar.h"

#include "shell/CommandRunner.h"
#include "shell/MOHandler.h"

#include <QCoreApplication>
#include <QEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QShortcutEvent>

namespace {

QPointer<QWidget> g_barWindow;

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
    explicit InputBlocker(QPushButton *stop) : m_stop(stop)
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
        if (m_stop && receiver == m_stop.data())
            return stopButtonEvent(event);
        switch (event->type()) {
        case QEvent::KeyPress: {
            if (receiver->isWindowType())
                return false;
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Escape)
                stopRunningCommand();
            // Tab leads to the Stop, and nowhere else.
            else if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && m_stop && m_stop->isVisible())
                m_stop->setFocus(Qt::TabFocusReason);
            return true;
        }
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

private:
    // The Stop takes clicks and keys; the pointer over it is no busy one, as it
    // can be clicked.
    bool stopButtonEvent(QEvent *event)
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            switch (static_cast<QKeyEvent *>(event)->key()) {
            case Qt::Key_Escape:
                stopRunningCommand();
                return true;
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
                return true;  // the focus stays on the Stop
            default:
                return false;
            }
        case QEvent::Shortcut:
            if (static_cast<QShortcutEvent *>(event)->key() == QKeySequence(Qt::Key_Escape))
                stopRunningCommand();
            return true;
        case QEvent::Enter:
            QGuiApplication::changeOverrideCursor(QCursor(Qt::ArrowCursor));
            return false;
        case QEvent::Leave:
            QGuiApplication::changeOverrideCursor(QCursor(Qt::WaitCursor));
            return false;
        case QEvent::ContextMenu:
        case QEvent::Wheel:
        case QEvent::InputMethod:
            return true;
        default:
            return false;
        }
    }

    QPointer<QPushButton> m_stop;
};

} // namespace

std::optional<QByteArray> runUserCommand(const QByteArray &command, bool keepOutput, bool *stopped)
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
        QPointer<RunningBar> bar;
        if (g_barWindow) {
            bar = g_barWindow->findChild<RunningBar *>(QString(), Qt::FindDirectChildrenOnly);
            if (!bar)
                bar = new RunningBar(g_barWindow);
        }
        if (bar)
            bar->commandStarted();
        const InputBlocker blocker(bar ? bar->stopButton() : nullptr);
        result = runCommandLive(command, onPiece, keepOutput);
        if (bar)
            bar->commandEnded();
    }
    if (handler) {
        handler->endOutput(result.dropped);
        if (result.stopped)
            handler->reportStopped(result.killed);
    }
    if (stopped)
        *stopped = result.stopped;
    return result.output;
}

void setRunningBarWindow(QWidget *window) { g_barWindow = window; }
