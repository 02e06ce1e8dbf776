#pragma once
// Small pieces the app pages share: the busy indicator (a listing or an install that runs), and
// a model operation started from a widget, whose end re-enables its button.

#include "UiKit/PageKit.h"

#include <QFuture>
#include <QFutureWatcher>
#include <QPointer>
#include <QProgressBar>

#include <functional>
#include <utility>

namespace dovrane {

// Starts a model operation from a widget and runs ended on the widget's thread once it has
// finished: on a later turn of the event loop, never inside the press that started it, so a
// second press in between finds its button still disabled. Starting may change the model at
// once, and a page may rebuild and delete the widget in that very change; so the widget is held
// only through a guard. When it is gone after start, nothing is tied to it and false comes back:
// the caller then must not touch it. ended runs only while the widget still exists.
template <class Start> [[nodiscard]] bool startWatched(QObject* widget, Start&& start, std::function<void()> ended) {
    const QPointer<QObject> guard(widget);
    const QFuture<void> future = std::forward<Start>(start)();
    if (!guard)
        return false;
    auto* watcher = new QFutureWatcher<void>(widget);
    QObject::connect(watcher, &QFutureWatcher<void>::finished, widget, [watcher, ended = std::move(ended)] {
        watcher->deleteLater();
        ended();
    });
    watcher->setFuture(future);
    return true;
}

} // namespace dovrane
