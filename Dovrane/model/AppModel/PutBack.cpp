// Put Back: the items of one journal record go home from the Trash, one after the other.

#include "AppModel/AppModel.h"

#include "AppModel/Handoff.h"
#include "AppModel/RemovalState.h"

namespace dovrane {

QFuture<void> AppModel::undo(std::shared_ptr<Removal> removal) {
    if (!removal || removal->items().empty() || removals_->puttingBack.contains(removal->uuid()))
        return QtFuture::makeReadyFuture();
    if (isDemo_) {
        putBackEnded(removal, PutBackTally{int(removal->items().size()), 0, false});
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
                if (result.kind != Trasher::PutBackResult::Kind::restored && Trasher::isInTrash(item))
                    tally.leftInTrash = true;
            }
            return tally;
        },
        [this, removal, done](PutBackTally tally) {
            removals_->puttingBack.erase(removal->uuid());
            putBackEnded(removal, tally);
            done->finish();
        });
    return done->future();
}

void AppModel::putBackEnded(const std::shared_ptr<Removal>& removal, const PutBackTally& tally) {
    const QString stayed = tally.taken > 0
                               ? tr("%Ln items stayed in the Trash because something else is at their original place.",
                                    nullptr, tally.taken)
                               : QString();
    if (tally.restored == 0) {
        if (!stayed.isEmpty())
            setNotice(stayed);
        return;
    }
    // A record with items still in the Trash stays open, so Put Back can be tried again.
    if (!tally.leftInTrash) {
        removal->setUndone(true);
        container_.save();
    }
    QString notice = tr("%Ln items are back where they were.", nullptr, tally.restored);
    if (!stayed.isEmpty())
        notice += QLatin1Char(' ') + stayed;
    setNotice(notice);
    if (!isDemo_)
        startScan(Apps::reload);
}

} // namespace dovrane
