#include "Services/Clock.h"

#include <QPromise>
#include <QTimer>

#include <cmath>
#include <memory>

namespace dovrane {

QFuture<void> SystemClock::delay(double seconds) {
    auto promise = std::make_shared<QPromise<void>>();
    promise->start();
    QFuture<void> future = promise->future();
    // QTimer runs on the monotonic clock, so a change of the wall clock does not move it.
    const auto milliseconds =
        std::chrono::milliseconds(seconds > 0 ? std::llround(std::min(seconds, 1e9) * 1000.0) : 0);
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, [promise] { promise->finish(); });
    return future;
}

} // namespace dovrane
