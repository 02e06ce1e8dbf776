#pragma once

// The longest time between two turns of the event loop since the last reset: a timer that asks
// to run every millisecond runs late by as long as the main thread was held.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

class EventLoopProbe {
public:
    EventLoopProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        clock_.start();
        timer_.start();
    }
    void reset() {
        last_ = clock_.nsecsElapsed();
        longest_ = 0;
    }
    // In seconds, the gap still open included.
    double longest() const { return double(std::max(longest_, clock_.nsecsElapsed() - last_)) / 1e9; }

private:
    void tick() {
        const qint64 now = clock_.nsecsElapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0, longest_ = 0;
};
