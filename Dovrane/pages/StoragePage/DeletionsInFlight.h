#pragma once
// The three deletions that skip the Trash. Each is counted as running from the press of its
// dialog's button until the model's operation has ended, for every pane of the process, so a
// pane built again meanwhile does not offer it a second time.

#include <QFuture>
#include <QObject>

#include <set>
#include <utility>

namespace dovrane {

class AppModel;

class DeletionsInFlight final : public QObject {
    Q_OBJECT
public:
    enum class Kind { emptyTrash, snapshots, simulators };
    static DeletionsInFlight& shared();

    bool isRunning(const AppModel& model, Kind kind) const { return running_.count({&model, kind}) > 0; }
    // Counts the operation as running until its future finishes (or is cancelled).
    void track(const AppModel& model, Kind kind, const QFuture<void>& operation);

signals:
    void changed();

private:
    std::set<std::pair<const AppModel*, Kind>> running_;
};

} // namespace dovrane
