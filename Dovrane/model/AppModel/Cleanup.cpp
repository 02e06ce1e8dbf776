// Cleanups: the plan the cleanup sheet shows, the move once the user confirms, and the journal
// record in which every removal of the model ends.

#include "AppModel/AppModel.h"

#include "AppModel/FailureReasons.h"
#include "AppModel/Handoff.h"
#include "AppModel/ListingEdits.h"
#include "AppModel/Notice.h"
#include "AppModel/RemovalState.h"
#include "Services/Admin.h"

#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/trash/FreedesktopTrash.h>

#include <algorithm>
#include <set>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

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

GroundCheck AppModel::groundCheck() const {
    const ScanSettings rated = settings();
    return GroundCheck{rated.projectAgeDays, rated.installerAgeDays, services_.clock->now()};
}

QFuture<void> AppModel::requestCleanup(std::vector<CleanupItem> items, const QString& title) {
    return requestCleanup(std::move(items), Wording::plain(title));
}

QFuture<void> AppModel::requestCleanup(std::vector<CleanupItem> items, const Wording& title) {
    const auto trashable = [](const CleanupItem& item) { return item.action == CleanupAction::trash; };
    if (std::none_of(items.begin(), items.end(), trashable))
        return QtFuture::makeReadyFuture();
    // The latest request is the one the sheet shows.
    const std::uint64_t run = ++removals_->cleanupPlans;
    removals_->awaitedPlan = run;
    // Without a trasher (demo data) the plan takes every entry as given, with no guard and no
    // look at the disk. Otherwise each item must still stand on what it was rated on: a scan
    // shown may be hours old.
    auto makeRequest = [trashable, title, text = title.text()](std::vector<CleanupItem> kept, const Trasher* trasher,
                                                               const GroundCheck& grounds) {
        std::erase_if(kept, [&](const CleanupItem& item) { return !trashable(item); });
        std::vector<ChangedItem> changed;
        if (trasher) {
            const std::vector<GroundCheck::Change> changes = grounds.check(kept);
            std::size_t index = 0;
            std::erase_if(kept, [&](const CleanupItem& item) {
                const GroundCheck::Change change = changes[index++];
                if (change != GroundCheck::Change::none)
                    changed.push_back({item.url, item.name, change});
                return change != GroundCheck::Change::none;
            });
        }
        std::vector<Trasher::Candidate> candidates;
        candidates.reserve(kept.size());
        // The identity noted when measured: what moves is the item that was rated.
        for (const CleanupItem& item : kept)
            candidates.push_back({item.url, item.size, item.fileCount, false,
                                  item.ground ? std::optional(item.ground->identity) : std::nullopt});
        TrashPlan plan;
        if (trasher)
            plan = trasher->plan(candidates);
        else
            for (const Trasher::Candidate& candidate : candidates)
                plan.entries.push_back({candidate.url, candidate.size, candidate.files, false});
        CleanupRequest request{text, std::move(kept), std::move(plan), title};
        request.listing = PlanListing::of(request.items, request.plan);
        request.changed = std::move(changed);
        return request;
    };
    if (isDemo_) {
        removals_->awaitedPlan = 0;
        setSheet(ActiveSheet::cleanup(makeRequest(std::move(items), nullptr, {})));
        return QtFuture::makeReadyFuture();
    }
    auto done = startedPromise();
    handOff(
        pool_, lifeline_,
        [makeRequest, items = std::move(items), trasher = trasher(), grounds = groundCheck()]() mutable {
            return makeRequest(std::move(items), &trasher, grounds);
        },
        [this, run, done](CleanupRequest request) {
            if (run == removals_->awaitedPlan) {
                removals_->awaitedPlan = 0;
                setSheet(ActiveSheet::cleanup(std::move(request)));
            }
            done->finish();
        });
    return done->future();
}

QFuture<void> AppModel::perform(const CleanupRequest& request) {
    // Taken before the sheet closes: the request may be the sheet's own.
    TrashPlan plan = request.plan;
    // A request made without a wording keeps its title as it is.
    const Wording title = request.wording == Wording() ? Wording::plain(request.title) : request.wording;
    setSheet(std::nullopt);
    auto done = startedPromise();
    QFuture<void> future = done->future();
    if (isDemo_) {
        Trasher::Outcome outcome;
        for (const TrashPlan::Entry& entry : plan.entries)
            outcome.removed.push_back(
                {entry.url, Url::fromPath(demoTrashFolder + entry.url.lastPathComponent()), entry.size, false});
        cleanedUp({std::move(outcome), false, services_.clock->now(), {}}, title, done);
        return future;
    }
    // The record's date is the move's start: it is in the store, under way, before anything moves.
    handOff(
        pool_, lifeline_,
        [trasher = trasher(), plan = std::move(plan), store = journalPath(), start = services_.clock->now(), title] {
            return RemovalJournal::move(trasher, plan, store, start, title);
        },
        [this, title, done](RemovalJournal::Moved moved) { cleanedUp(moved, title, done); });
    return future;
}

std::string AppModel::journalPath() const {
    // A store found damaged takes no more writes, and nothing moves without its record.
    return container_.isDamaged() ? std::string() : container_.path();
}

void AppModel::cleanedUp(const RemovalJournal::Moved& moved, const Wording& title,
                         const std::shared_ptr<QPromise<void>>& done) {
    const Trasher::Outcome& outcome = moved.outcome;
    record(moved, title);
    if (!scan()) {
        done->finish();
        return;
    }
    pruneScan(std::make_shared<const std::vector<RemovedItem>>(outcome.removed), done);
}

namespace {

// The scan without what moved, each category's size the sum of what it keeps, what went into
// the home Trash counted there, and the rest of the disk worked out again. Items are known by the
// text of their URL, which the removed items carry unchanged from the plan.
ScanResult pruned(const ScanResult& scan, const std::vector<RemovedItem>& removed, const Url& trashFiles, bool demo) {
    std::unordered_set<std::string_view> moved;
    moved.reserve(removed.size());
    for (const RemovedItem& item : removed)
        moved.insert(item.originalPath.text());
    ScanResult kept{scan.date, scan.volume, scan.total, scan.free, scan.available, {}};
    kept.categories.reserve(scan.categories.size());
    // The figures the scan counted each moved item with, the first of a path.
    std::unordered_map<std::string_view, std::pair<std::int64_t, std::int64_t>> movedFigures;
    for (const Category& category : scan.categories) {
        Category left(category.id, std::int64_t(0), {}, category.sizeIsEstimate, category.note);
        for (const CleanupItem& item : category.items) {
            if (moved.contains(item.url.text())) {
                movedFigures.try_emplace(item.url.text(), item.size, item.fileCount);
                continue;
            }
            left.items.push_back(item);
            left.size += item.size;
        }
        kept.categories.push_back(std::move(left));
    }
    // What went into the home Trash stays on this disk: it counts there until the next scan,
    // not as unexplained space. A move to another volume's Trash left this disk.
    std::int64_t size = 0, files = 0;
    std::unordered_set<std::string_view> counted;
    for (const RemovedItem& item : removed) {
        if (!counted.insert(item.originalPath.text()).second ||
            (!demo && Path::parent(item.trashPath.path()) != trashFiles.path()))
            continue;
        // An item of the scan moves with the figures the scan counted it with.
        const auto found = movedFigures.find(item.originalPath.text());
        size += found == movedFigures.end() ? item.size : found->second.first;
        files += found == movedFigures.end() ? 1 : found->second.second;
    }
    kept.countMovedToTrash(trashFiles, size, files);
    kept.computeOther();
    return kept;
}

} // namespace

void AppModel::pruneScan(std::shared_ptr<const std::vector<RemovedItem>> removed,
                         const std::shared_ptr<QPromise<void>>& done) {
    const Url trashFiles = isDemo_ ? Url::fromPath(demoTrashFolder)
                                   : Url::fromPath(FreedesktopTrash::homeTrashFiles(services_.home.path()));
    handOff(
        pool_, lifeline_,
        [snapshot = scan_, removed, trashFiles, demo = isDemo_] {
            return pruned(**snapshot, *removed, trashFiles, demo);
        },
        [this, snapshot = scan_, removed, done](ScanResult result) {
            if (scan_ != snapshot) {
                // Another scan or cleanup landed meanwhile: what moved leaves that one instead.
                if (scan())
                    pruneScan(removed, done);
                else
                    done->finish();
                return;
            }
            setScan(std::move(result));
            if (isDemo_) {
                done->finish();
                return;
            }
            writeScanCache().then([done](bool) { done->finish(); });
        });
}

void AppModel::record(const RemovalJournal::Moved& journaled, const Wording& title) {
    const Trasher::Outcome& outcome = journaled.outcome;
    // What failed alone is added to the notice that stands.
    Notice notice = Notice::following(notice_, noticeWarns_);
    if (!outcome.removed.empty()) {
        bool saved = journaled.saved;
        if (saved) {
            container_.noteWrittenElsewhere();
        } else {
            // Not in the store (demo data, or a journal that could not finish): kept here for the
            // next save, under the identifier of any record left under way, which settling then
            // leaves alone.
            container_.insert(journaled.uuid.isNull()
                                  ? std::make_shared<Removal>(journaled.date, title, outcome.removed)
                                  : std::make_shared<Removal>(journaled.date, title, outcome.removed, journaled.uuid));
            saved = container_.save();
        }
        // A failed save keeps the record for the next one, but the user must know that Put Back
        // may not find these items: the desktop's Trash still can.
        std::int64_t total = 0;
        for (const RemovedItem& item : outcome.removed)
            total += item.size;
        notice = Notice(Notice::Kind::moved, {.text = QString::fromStdString(bytes(total))});
        if (!saved)
            notice.add(Notice::Kind::movedUnrecorded);
        else if (container_.isTemporary())
            notice.add(Notice::Kind::movedUntilQuit);
    }
    if (!outcome.failed.empty()) {
        const QString blocked = tr("Dovrane does not move protected files and folders.");
        const QString admin = tr("The administrator password was not given, or the move with it failed.");
        std::vector<QString> reasons;
        reasons.reserve(outcome.failed.size());
        for (const TrashFailure& failure : outcome.failed)
            reasons.push_back(failure.kind == TrashFailure::Kind::blocked ? blocked
                              : failure.kind == TrashFailure::Kind::admin ? admin
                                                                          : QString::fromStdString(failure.reason));
        notice.add(Notice::Kind::notMoved, {.count = int(outcome.failed.size()), .text = mostGiven(reasons)});
    }
    if (!outcome.removed.empty() || !outcome.failed.empty())
        setNotice(notice);
    // The orphans are few, what moved may be many thousand: the orphans are looked up.
    std::unordered_set<std::string_view> orphanURLs;
    for (const Orphan& orphan : orphans_)
        orphanURLs.insert(orphan.url.text());
    std::set<std::string> moved;
    for (const RemovedItem& item : outcome.removed)
        if (orphanURLs.contains(item.originalPath.text()))
            moved.insert(item.originalPath.text());
    if (isLoadingApps_)
        for (const RemovedItem& item : outcome.removed)
            listingEdits_->trashedOrphans.insert(item.originalPath.path());
    if (moved.empty())
        return;
    std::vector<Orphan> remaining = orphans_;
    std::erase_if(remaining, [&](const Orphan& orphan) { return moved.contains(orphan.url.text()); });
    setOrphans(std::move(remaining));
}

} // namespace dovrane
