#pragma once
// Waits for a future while the main thread's events run, so the model's main-thread steps can
// happen. No time limit: a hang is the test runner's to end.

#include <QCoreApplication>
#include <QEventLoop>
#include <QFuture>
#include <QFutureWatcher>

namespace dovrane::testing {

template <class T> void await(const QFuture<T>& future) {
    if (future.isFinished())
        return;
    QEventLoop loop;
    QFutureWatcher<T> watcher;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(future);
    if (!future.isFinished())
        loop.exec();
}

template <class T> T awaitResult(const QFuture<T>& future) {
    await(future);
    return future.result();
}

// Runs the events that are queued now (the model's handling of a reported step).
inline void runQueuedEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

} // namespace dovrane::testing
