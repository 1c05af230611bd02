#include "shell/RunningBar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

RunningBar::RunningBar(QWidget *window) : QFrame(window)
{
    setObjectName(QStringLiteral("runningBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_elapsed = new QLabel(this);
    m_elapsed->setObjectName(QStringLiteral("runningTime"));
    m_hint = new QLabel(tr("Escape stops it"), this);
    m_hint->setObjectName(QStringLiteral("runningHint"));
    m_stop = new QPushButton(tr("Stop"), this);
    m_stop->setObjectName(QStringLiteral("stopButton"));
    m_stop->setAccessibleName(tr("Stop the running command"));
    // Return stops too, not only Space.
    m_stop->setAutoDefault(true);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 4, 4);
    row->addWidget(m_elapsed);
    row->addSpacing(12);
    row->addWidget(m_hint);
    row->addWidget(m_stop);

    m_delay.setSingleShot(true);
    m_delay.setInterval(kShowDelayMs);
    connect(&m_delay, &QTimer::timeout, this, &RunningBar::appear);
    m_tick.setInterval(250);
    connect(&m_tick, &QTimer::timeout, this, &RunningBar::showElapsed);
    hide();
    window->installEventFilter(this);
}

void RunningBar::commandStarted()
{
    m_clock.start();
    m_delay.start();
    if (QWidget *top = window())
        m_focusBefore = top->focusWidget();
}

void RunningBar::commandEnded()
{
    m_delay.stop();
    m_tick.stop();
    // Hiding the Stop would pass its focus on to some other widget.
    const bool hadFocus = window()->focusWidget() == m_stop;
    hide();
    if (hadFocus && m_focusBefore)
        m_focusBefore->setFocus(Qt::OtherFocusReason);
    m_focusBefore = nullptr;
}

void RunningBar::appear()
{
    showElapsed();
    m_tick.start();
    place();
    raise();
    show();
}

void RunningBar::showElapsed()
{
    const qint64 s = m_clock.isValid() ? m_clock.elapsed() / 1000 : 0;
    const QString time = s >= 3600 ? QStringLiteral("%1:%2:%3")
                                         .arg(s / 3600)
                                         .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                                         .arg(s % 60, 2, 10, QLatin1Char('0'))
                                   : QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    m_elapsed->setText(tr("Running\u2026 %1").arg(time));
    if (isVisible())
        place();
}

void RunningBar::place()
{
    const QWidget *top = parentWidget();
    if (!top)
        return;
    const int margin = 4;
    const int room = std::max(0, top->width() - 2 * margin);
    // A narrow window gets a shorter bar: the Escape note moves onto the button,
    // then the time goes.
    const auto fits = [&](bool hint, bool time) {
        m_hint->setVisible(hint);
        m_elapsed->setVisible(time);
        m_stop->setText(hint ? tr("Stop") : tr("Stop (Esc)"));
        layout()->invalidate();
        return sizeHint().width() <= room;
    };
    if (!fits(true, true) && !fits(false, true))
        fits(false, false);
    const QSize hint = sizeHint();
    const int w = std::min(hint.width(), room);
    setGeometry(top->width() - margin - w, top->height() - margin - hint.height(), w, hint.height());
}

bool RunningBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
        place();
    return QFrame::eventFilter(watched, event);
}
