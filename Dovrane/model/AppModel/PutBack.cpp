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
        putBackEnded(removal, PutBackTally{int(removal->items().size()), 0, false, {}, 0});
        return QtFuture::makeReadyFuture();
    }
    removals_->puttingBack.insert(removal->uuid());
    auto done = startedPromise();
    // Journaled as a move is: a Put Back cut short is settled at the next start.
    handOff(
        pool_, lifeline_,
        [trasher = trasher(), uuid = removal->uuid(), items = removal->items(), store = journalPath()] {
            return RemovalJournal::putBack(trasher, uuid, items, store);
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
    // Said only when that is all there was to it: the record is put back by this press.
    else if (tally.complete())
        notice.add(Notice::Kind::putBackAlready, {.count = tally.alreadyBack});
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
    // Nothing of the record left in the Trash and something of it back, now or before: it is put
    // back (the Put Back's own end marked it in the store already). A record with items still in
    // the Trash stays open, so Put Back can be tried again.
    if (tally.complete()) {
        removal->setUndone(true);
        container_.save();
    }
    if (tally.restored == 0) {
        // Nothing came back now: no scan is needed.
        if (!notice.isEmpty())
            setNotice(notice);
        return;
    }
    setNotice(notice);
    if (!isDemo_)
        startScan(Apps::reload);
}

} // namespace dovrane
