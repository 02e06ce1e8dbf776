// Cleanups: the plan the cleanup sheet shows, the move once the user confirms, and the journal
// record in which every removal of the model ends.

#include "AppModel/AppModel.h"

#include "AppModel/FailureReasons.h"
#include "AppModel/Handoff.h"
#include "AppModel/ListingEdits.h"
#include "Services/Admin.h"

#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/trash/FreedesktopTrash.h>

#include <algorithm>

namespace dovrane {

namespace {
const std::string demoTrashFolder = "/Users/demo/.Trash/";
} // namespace

Trasher AppModel::trasher() const {
    Trasher trasher{DeletionGuard(services_.home, {}),
                    Url::fromPath(FreedesktopTrash::homeTrashFiles(services_.home.path()))};
    // Called on the pool thread that executes; it waits there for the password dialog.
    trasher.admin = [paths = services_.systemPaths](const std::string& command) {
        return Admin::runAndWait(command, tr("Dovrane wants to move files outside your home folder to the Trash."),
                                 paths);
    };
    return trasher;
}

void AppModel::requestCleanup(const std::vector<CleanupItem>& items, const QString& title) {
    requestCleanup(items, Wording::plain(title));
}

void AppModel::requestCleanup(const std::vector<CleanupItem>& items, const Wording& title) {
    std::vector<CleanupItem> kept;
    std::copy_if(items.begin(), items.end(), std::back_inserter(kept),
                 [](const CleanupItem& item) { return item.action == CleanupAction::trash; });
    if (kept.empty())
        return;
    std::vector<Trasher::Candidate> candidates;
    for (const CleanupItem& item : kept)
        candidates.push_back({item.url, item.size, item.fileCount, false});
    TrashPlan plan;
    if (isDemo_)
        for (const Trasher::Candidate& candidate : candidates)
            plan.entries.push_back({candidate.url, candidate.size, candidate.files, false});
    else
        plan = trasher().plan(candidates);
    setSheet(ActiveSheet::cleanup(CleanupRequest{title.text(), std::move(kept), std::move(plan), title}));
}

QFuture<void> AppModel::perform(CleanupRequest request) {
    setSheet(std::nullopt);
    if (request.wording == Wording()) // a request made without one keeps its title as it is
        request.wording = Wording::plain(request.title);
    auto done = startedPromise();
    QFuture<void> future = done->future();
    if (isDemo_) {
        Trasher::Outcome outcome;
        for (const TrashPlan::Entry& entry : request.plan.entries)
            outcome.removed.push_back(
                {entry.url, Url::fromPath(demoTrashFolder + entry.url.lastPathComponent()), entry.size, false});
        cleanedUp(outcome, request.wording, done);
        return future;
    }
    handOff(
        pool_, lifeline_, [trasher = trasher(), plan = request.plan] { return trasher.execute(plan); },
        [this, title = request.wording, done](Trasher::Outcome outcome) { cleanedUp(outcome, title, done); });
    return future;
}

void AppModel::cleanedUp(const Trasher::Outcome& outcome, const Wording& title,
                         const std::shared_ptr<QPromise<void>>& done) {
    record(outcome, title);
    if (!scan_) {
        done->finish();
        return;
    }
    std::set<std::string> moved;
    for (const RemovedItem& item : outcome.removed)
        moved.insert(item.originalPath.path());
    ScanResult pruned = *scan_;
    std::map<std::string, CleanupItem> prunedItems;
    for (Category& category : pruned.categories) {
        std::erase_if(category.items, [&](const CleanupItem& item) {
            if (!moved.contains(item.url.path()))
                return false;
            prunedItems.emplace(item.url.path(), item);
            return true;
        });
        category.size = 0;
        for (const CleanupItem& item : category.items)
            category.size += item.size;
    }
    // What went into the home Trash stays on this disk: it counts there until the next scan,
    // not as unexplained space. A move to another volume's Trash left this disk.
    const Url trashFiles = isDemo_ ? Url::fromPath(demoTrashFolder)
                                   : Url::fromPath(FreedesktopTrash::homeTrashFiles(services_.home.path()));
    std::int64_t size = 0, files = 0;
    std::set<std::string> counted;
    for (const RemovedItem& item : outcome.removed) {
        if (!counted.insert(item.originalPath.path()).second ||
            (!isDemo_ && Path::parent(item.trashPath.path()) != trashFiles.path()))
            continue;
        // An item of the scan moves with the figures the scan counted it with.
        const auto found = prunedItems.find(item.originalPath.path());
        size += found == prunedItems.end() ? item.size : found->second.size;
        files += found == prunedItems.end() ? 1 : found->second.fileCount;
    }
    pruned.countMovedToTrash(trashFiles, size, files);
    pruned.computeOther();
    setScan(pruned);
    if (isDemo_) {
        done->finish();
        return;
    }
    writeScanCache(*scan_).then([done](bool) { done->finish(); });
}

void AppModel::record(const Trasher::Outcome& outcome, const Wording& title) {
    if (!outcome.removed.empty()) {
        container_.insert(std::make_shared<Removal>(services_.clock->now(), title, outcome.removed));
        // A failed save keeps the record for the next one, but the user must know that Put Back
        // may not find these items: the desktop's Trash still can.
        const bool saved = container_.save();
        std::int64_t total = 0;
        for (const RemovedItem& item : outcome.removed)
            total += item.size;
        QString moved = tr("%1 moved to the Trash. The space frees up when you empty the Trash.")
                            .arg(QString::fromStdString(bytes(total)));
        if (!saved)
            moved += QLatin1Char(' ') + tr("The record of this removal could not be saved: the items are in the "
                                           "Trash, where your file manager can put them back.");
        setNotice(moved);
    }
    if (!outcome.failed.empty()) {
        const QString before = notice_ ? *notice_ + QLatin1Char(' ') : QString();
        const QString blocked = tr("Dovrane does not move protected files and folders.");
        const QString admin = tr("The administrator password was not given, or the move with it failed.");
        std::vector<QString> reasons;
        reasons.reserve(outcome.failed.size());
        for (const TrashFailure& failure : outcome.failed)
            reasons.push_back(failure.kind == TrashFailure::Kind::blocked ? blocked
                              : failure.kind == TrashFailure::Kind::admin ? admin
                                                                          : QString::fromStdString(failure.reason));
        QString failed = tr("%Ln items could not be moved.", nullptr, int(outcome.failed.size()));
        if (const QString reason = mostGiven(reasons); !reason.isEmpty())
            failed += QLatin1Char(' ') + reason;
        setNotice(before + failed);
    }
    std::set<std::string> moved;
    for (const RemovedItem& item : outcome.removed)
        moved.insert(item.originalPath.path());
    std::vector<Orphan> remaining = orphans_;
    std::erase_if(remaining, [&](const Orphan& orphan) { return moved.contains(orphan.url.path()); });
    if (isLoadingApps_)
        listingEdits_->trashedOrphans.insert(moved.begin(), moved.end());
    setOrphans(std::move(remaining));
}

} // namespace dovrane
