#pragma once

// How late a 5 ms timer fires while work runs in the event loop: the window's
// answer time, as a person would feel it.

#include "shell/BusyState.h"
#include "shell/FormSession.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

inline constexpr int kTickMs = 5;

struct Lateness
{
    double p50 = 0, p99 = 0, max = 0;
    size_t ticks = 0;
};

inline double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

// Runs work with the probe ticking; lateness of every tick in milliseconds.
inline Lateness probe(const std::function<void()> &work)
{
    std::vector<double> late;
    QElapsedTimer clock;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(kTickMs);
    qint64 last = 0;
    QObject::connect(&timer, &QTimer::timeout, &timer, [&] {
        const qint64 now = clock.nsecsElapsed();
        late.push_back(std::max(0.0, double(now - last) / 1e6 - kTickMs));
        last = now;
    });
    clock.start();
    timer.start();
    work();
    timer.stop();
    return {percentile(late, 0.5), percentile(late, 0.99), percentile(late, 1.0), late.size()};
}

// A user command of session, from the click to its end, with the event loop running.
inline void runToEnd(FormSession &session, const QByteArray &command)
{
    QEventLoop loop;
    bool ended = false;
    runUserCommand(session, command, false, &loop, [&](const QByteArray &) {
        ended = true;
        loop.quit();
    });
    if (!ended)
        loop.exec();
}

inline void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

inline std::string fmtMs(double ms)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f ms", ms);
    return buffer;
}
