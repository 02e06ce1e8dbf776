// Put Back: the items of one journal record go home from the Trash, one after the other.

#include "AppModel/AppModel.h"

#include "AppModel/FailureReasons.h"
#include "AppModel/Handoff.h"
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
    QStringList sentences;
    if (tally.restored > 0)
        sentences << tr("%Ln items are back where they were.", nullptr, tally.restored);
    // Said only when that is all there was to it: the record is put back by this press.
    else if (tally.complete())
        sentences << tr("%Ln items were already back where they were.", nullptr, tally.alreadyBack);
    if (tally.taken > 0)
        sentences << tr("%Ln items stayed in the Trash because something else is at their original place.", nullptr,
                        tally.taken);
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
        sentences << tr("%Ln items could not be put back.", nullptr, int(tally.failures.size()));
        if (const QString reason = mostGiven(reasons); !reason.isEmpty())
            sentences << reason;
    }
    // Anything that did not come back is no success to mark.
    const bool warns = tally.taken > 0 || !tally.failures.empty();
    // Nothing of the record left in the Trash and something of it back, now or before: it is put
    // back (the Put Back's own end marked it in the store already). A record with items still in
    // the Trash stays open, so Put Back can be tried again.
    if (tally.complete()) {
        removal->setUndone(true);
        container_.save();
    }
    if (tally.restored == 0) {
        // Nothing came back now: no scan is needed.
        if (!sentences.isEmpty())
            setNotice(sentences.join(QLatin1Char(' ')), warns);
        return;
    }
    setNotice(sentences.join(QLatin1Char(' ')), warns);
    if (!isDemo_)
        startScan(Apps::reload);
}

} // namespace dovrane
