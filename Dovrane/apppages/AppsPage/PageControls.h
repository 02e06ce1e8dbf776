#pragma once
// Small pieces the app pages share: the indeterminate progress indicator (a listing or an
// install that runs), and the end of a started model operation, which re-enables its button.

#include <QCoreApplication>
#include <QFuture>
#include <QFutureWatcher>
#include <QProgressBar>

#include <functional>

namespace dovrane {

inline QProgressBar* makeBusyIndicator(QWidget* parent) {
    auto* busy = new QProgressBar(parent);
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    busy->setFixedSize(48, 12);
    busy->setAccessibleName(QCoreApplication::translate("BusyIndicator", "Busy"));
    return busy;
}

// Runs ended on the context's thread once the future has finished: on a later turn of the event
// loop, never inside the press that started it, so a second press in between finds its button
// still disabled.
inline void whenFinished(QObject* context, const QFuture<void>& future, std::function<void()> ended) {
    auto* watcher = new QFutureWatcher<void>(context);
    QObject::connect(watcher, &QFutureWatcher<void>::finished, context, [watcher, ended = std::move(ended)] {
        watcher->deleteLater();
        ended();
    });
    watcher->setFuture(future);
}

} // namespace dovrane
