#include "StoragePage/DeletionsInFlight.h"

#include <QFutureWatcher>

namespace dovrane {

DeletionsInFlight& DeletionsInFlight::shared() {
    static DeletionsInFlight* instance = new DeletionsInFlight;
    return *instance;
}

void DeletionsInFlight::track(const AppModel& model, Kind kind, const QFuture<void>& operation) {
    const std::pair<const AppModel*, Kind> key{&model, kind};
    running_.insert(key);
    emit changed();
    // A watcher reports a cancelled operation as finished too, so no entry outlives its work.
    auto* watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, key] {
        running_.erase(key);
        watcher->deleteLater();
        emit changed();
    });
    watcher->setFuture(operation);
}

} // namespace dovrane
