#pragma once
// The model's time: the current date, and waits on a monotonic timer. Tests set the time by
// hand and end every wait at once.

#include <DovraneKit/core/Date.h>

#include <QFuture>

namespace dovrane {

class Clock {
public:
    virtual ~Clock() = default;
    virtual Date now() const = 0;
    // Finishes after the given number of seconds; call and await on the main thread.
    virtual QFuture<void> delay(double seconds) = 0;
};

class SystemClock final : public Clock {
public:
    Date now() const override { return Date::now(); }
    QFuture<void> delay(double seconds) override;
};

} // namespace dovrane
