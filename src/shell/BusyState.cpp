#include "shell/BusyState.h"

#include "shell/RunningBar.h"

#include "shell/CommandQueue.h"
#include "shell/CommandRunner.h"
#include "shell/FormSession.h"
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

// Text logs may still be scrolled and read: that changes no value and runs nothing.
bool inTextLog(const QObject *object)
{
    for (; object; object = object->parent()) {
        if (object->objectName() == QLatin1String("textLog"))
            return true;
    }
    return false;
}

// Eats the user's input for as long as it is installed; Escape and the Stop stop
// the runner's command. Qt's ExcludeUserInputEvents would only postpone input and
// replay it afterwards. Input is judged where it reaches a widget, not at the
// window, which only passes it on.
class InputBlocker : public QObject
{
public:
    InputBlocker(CommandRunner &runner, QPushButton *stop) : m_runner(runner), m_stop(stop)
    {
        if (stop)
            connect(stop, &QPushButton::clicked, this, [this] { m_runner.stopRunning(); });
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
                m_runner.stopRunning();
            // Tab leads to the Stop, and nowhere else.
            else if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && m_stop && m_stop->isVisible())
                m_stop->setFocus(Qt::TabFocusReason);
            return true;
        }
        case QEvent::Shortcut:
            // An Escape shortcut of the form must not swallow the stop.
            if (static_cast<QShortcutEvent *>(event)->key() == QKeySequence(Qt::Key_Escape))
                m_runner.stopRunning();
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
                m_runner.stopRunning();
                return true;
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
                return true;  // the focus stays on the Stop
            default:
                return false;
            }
        case QEvent::Shortcut:
            if (static_cast<QShortcutEvent *>(event)->key() == QKeySequence(Qt::Key_Escape))
                m_runner.stopRunning();
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

    CommandRunner &m_runner;
    QPointer<QPushButton> m_stop;
};

} // namespace

void runUserCommand(FormSession &session, const QByteArray &command, bool keepOutput, QObject *context,
                    std::function<void(const QByteArray &)> done)
{
    runUserCommandResult(session, command, keepOutput, context, [done = std::move(done)](const CommandResult &result) {
        if (done)
            done(result.output);
    });
}

void runUserCommandResult(FormSession &session, const QByteArray &command, bool keepOutput, QObject *context,
                          std::function<void(const CommandResult &)> done)
{
    // What a user command holds while it runs: dropped input, the bar.
    struct Run
    {
        std::unique_ptr<InputBlocker> blocker;
        QPointer<RunningBar> bar;
    };
    // Nothing is asked for while a user command runs: the user's input is dropped
    // meanwhile, and whatever else asks is refused as it always was.
    if (session.runner().refused() || session.queue().userRunning())
        return;
    auto run = std::make_shared<Run>();
    const QPointer<MOHandler> handler(&session.output());
    const QPointer<QWidget> barWindow(session.barWindow());
    CommandQueue::Job job;
    job.kind = CommandQueue::Kind::User;
    job.command = command;
    job.keepOutput = keepOutput;
    job.context = context;
    job.started = [run, handler, barWindow, &runner = session.runner()] {
        if (handler)
            handler->beginOutput();
        if (barWindow) {
            run->bar = barWindow->findChild<RunningBar *>(QString(), Qt::FindDirectChildrenOnly);
            if (!run->bar)
                run->bar = new RunningBar(barWindow);
        }
        if (run->bar)
            run->bar->commandStarted();
        run->blocker = std::make_unique<InputBlocker>(runner, run->bar ? run->bar->stopButton() : nullptr);
    };
    job.piece = [handler](const QByteArray &piece) {
        if (handler)
            handler->appendOutput(piece);
    };
    job.done = [run, handler, context = QPointer<QObject>(context), done = std::move(done)](const CommandResult &result) {
        if (run->bar)
            run->bar->commandEnded();
        run->blocker.reset();
        if (handler) {
            handler->endOutput(result.dropped);
            if (result.stopped)
                handler->reportStopped(result.killed);
        }
        if (done && context)
            done(result);
    };
    session.queue().push(std::move(job));
}
