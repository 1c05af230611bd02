#pragma once

#include <QElapsedTimer>
#include <QFrame>
#include <QPointer>
#include <QTimer>

class QLabel;
class QPushButton;

// Tells that a command the user started runs: how long it has run, that Escape
// stops it, and a Stop button. It floats over the bottom right corner of its
// window, so the form keeps its size and place. A command that ends within
// kShowDelayMs never shows it.
class RunningBar : public QFrame
{
    Q_OBJECT
public:
    static constexpr int kShowDelayMs = 300;

    explicit RunningBar(QWidget *window);

    void commandStarted();
    void commandEnded();
    // The one widget that takes input while the command runs; Tab gives it the
    // focus. Whoever runs the command makes a click stop it.
    QPushButton *stopButton() const { return m_stop; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void appear();
    void showElapsed();
    void place();

    QLabel *m_elapsed;
    QLabel *m_hint;
    QPushButton *m_stop;
    QElapsedTimer m_clock;
    QTimer m_delay, m_tick;
    QPointer<QWidget> m_focusBefore;
};
