#pragma once
// Work that leaves the main thread and comes back: it runs on the model's pool, and its result
// reaches the continuation on the model's thread while the model lives; after that it is dropped.

#include "AppModel/Lifeline.h"

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#include <memory>
#include <utility>

namespace dovrane {

template <class Work, class Then> void handOff(QThreadPool& pool, const Lifeline& lifeline, Work work, Then then) {
    pool.start([work = std::move(work), then = std::move(then), lifeline]() mutable {
        auto result = std::make_shared<decltype(work())>(work());
        lifeline.post([then, result]() mutable { then(std::move(*result)); });
    });
}

// A future the model finishes after its last main-thread step. Were the model destroyed
// first, the promise goes with it and the future ends cancelled.
inline std::shared_ptr<QPromise<void>> startedPromise() {
    auto promise = std::make_shared<QPromise<void>>();
    promise->start();
    return promise;
}

} // namespace dovrane
