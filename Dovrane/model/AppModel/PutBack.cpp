// Put Back: the items of one journal record go home from the Trash, one after the other.

#include "AppModel/AppModel.h"

#include "AppModel/FailureReasons.h"
#include "AppModel/Handoff.h"
#include "AppModel/Notice.h"
#include "AppModel/RemovalState.h"
#include "Services/MemoryUse.h"

#include <DovraneKit/system/FileSystem.h>

namespace dovrane {

QFuture<void> AppModel::undo(std::shared_ptr<Removal> removal) {
    if (!removal || removal->items().empty() || removals_->puttingBack.contains(removal->uuid()))
        return QtFuture::makeReadyFuture();
    if (isDemo_) {
        putBackEnded(removal, PutBackTally{int(removal->items().size()), 0, false, {}});
        return QtFuture::makeReadyFuture();
    }
    removals_->puttingBack.insert(removal->uuid());
    auto done = startedPromise();
    handOff(
        pool_, lifeline_,
        [trasher = trasher(), items = removal->items()] {
            PutBackTally tally;
            for (const RemovedItem& item : items) {
                const Trasher::PutBackResult result = trasher.putBack(item);
                if (result.kind == Trasher::PutBackResult::Kind::restored)
                    ++tally.restored;
                else if (result.kind == Trasher::PutBackResult::Kind::originalTaken)
                    ++tally.taken;
                // Out of the Trash with something at its place: put back before, by an earlier
                // Put Back or the file manager, and nothing to report.
                else if (result.kind != Trasher::PutBackResult::Kind::goneFromTrash ||
                         !Fs::exists(item.originalPath.path()))
                    tally.failures.push_back(result);
                // Still in the Trash, whatever its info file says now: the record stays open for it.
                if (result.kind != Trasher::PutBackResult::Kind::restored && Trasher::isStillInTrash(item))
                    tally.leftInTrash = true;
            }
            return tally;
        },
        [this, removal, done](PutBackTally tally) {
            removals_->puttingBack.erase(removal->uuid());
            putBackEnded(removal, tally);
            done->finish();
            MemoryUse::giveBackFreed();
        });
    return done->future();
}

void AppModel::putBackEnded(const std::shared_ptr<Removal>& removal, const PutBackTally& tally) {
    Notice notice;
    if (tally.restored > 0)
        notice.add(Notice::Kind::putBack, {.count = tally.restored});
    if (tally.taken > 0)
        notice.add(Notice::Kind::putBackTaken, {.count = tally.taken});
    if (!tally.failures.empty()) {
        const QString gone = tr("What was emptied from the Trash cannot come back.");
        const QString admin = tr("The administrator password was not given, or the move with it failed.");
        const QString blocked = tr("Dovrane does not move protected files and folders.");
        std::vector<QString> reasons;
        reasons.reserve(tally.failures.size());
        for (const Trasher::PutBackResult& result : tally.failures)
            reasons.push_back(result.kind == Trasher::PutBackResult::Kind::goneFromTrash ? gone
                              : result.reason == "admin"                                 ? admin
                              : result.reason == "blocked"                               ? blocked
                                                           : QString::fromStdString(result.reason));
        notice.add(Notice::Kind::notPutBack, {.count = int(tally.failures.size()), .text = mostGiven(reasons)});
    }
    if (tally.restored == 0) {
        // Nothing came back: the record stays as it was, and no scan is needed.
        if (!notice.isEmpty())
            setNotice(notice);
        return;
    }
    // A record with items still in the Trash stays open, so Put Back can be tried again.
    if (!tally.leftInTrash) {
        removal->setUndone(true);
        container_.save();
    }
    setNotice(notice);
    if (!isDemo_)
        startScan(Apps::reload);
}

} // namespace dovrane
