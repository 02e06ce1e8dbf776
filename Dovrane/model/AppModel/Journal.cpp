// The journal as the Cleaned Up page reads it: a page of records at a time and their items in
// the Trash, both on the pool, so that neither a long journal nor a record of a hundred thousand
// items holds the window. At start, what a process killed part-way left is settled there too.

#include "AppModel/AppModel.h"

#include "AppModel/Handoff.h"
#include "Services/MemoryUse.h"
#include "Services/RemovalJournal.h"
#include "UpdatesModel/InstallSetup.h"

#include <DovraneKit/system/FileSystem.h>

#include <algorithm>

namespace dovrane {

namespace {

// Blocking: a look at every item's place in the Trash, and at the original places of a record
// with none left there, since the desktop's own Trash window may have put them back.
void count(JournalEntry& entry) {
    const auto& items = entry.record->items();
    entry.inTrash = int(std::count_if(items.begin(), items.end(),
                                      [](const RemovedItem& item) { return Trasher::isStillInTrash(item); }));
    entry.backInPlace = 0;
    if (entry.inTrash == 0)
        entry.backInPlace = int(std::count_if(
            items.begin(), items.end(), [](const RemovedItem& item) { return Fs::exists(item.originalPath.path()); }));
}

} // namespace

void AppModel::settleJournal() {
    auto settled = std::make_shared<QPromise<void>>();
    settled->start();
    journalSettled_ = settled->future();
    handOff(
        pool_, lifeline_,
        [store = journalPath(), trasher = trasher(), work = InstallSetup::workFolder()] {
            // What installs killed part-way left: their downloads and unpacked copies.
            UpdateInstaller::removeLeftovers(work);
            return store.empty() ? 0 : RemovalJournal::settle(store, trasher);
        },
        [this, settled](std::optional<int> written) {
            if (written.value_or(0) > 0)
                container_.noteWrittenElsewhere();
            settled->finish();
        });
}

QFuture<void> AppModel::journalSettled() const { return journalSettled_; }

QFuture<std::optional<JournalPage>> AppModel::journalPage(int offset, int limit) {
    auto promise = std::make_shared<QPromise<std::optional<JournalPage>>>();
    promise->start();
    handOff(
        pool_, lifeline_,
        [path = container_.path(), waiting = container_.waitingRemovals(), offset, limit] {
            return ModelContainer::readJournal(path, offset, limit, waiting);
        },
        [promise](std::optional<JournalPage> page) {
            promise->addResult(std::move(page));
            promise->finish();
            // The page this one replaced may have held a record of a hundred thousand items.
            MemoryUse::giveBackFreed();
        });
    return promise->future();
}

QFuture<std::vector<JournalEntry>> AppModel::countInTrash(std::vector<JournalEntry> entries) {
    if (isDemo_)
        return QtFuture::makeReadyFuture(std::move(entries));
    auto promise = std::make_shared<QPromise<std::vector<JournalEntry>>>();
    promise->start();
    handOff(
        pool_, lifeline_,
        [entries = std::move(entries)]() mutable {
            for (JournalEntry& entry : entries)
                if (entry.record)
                    count(entry);
            return std::move(entries);
        },
        [promise](std::vector<JournalEntry> counted) {
            promise->addResult(std::move(counted));
            promise->finish();
        });
    return promise->future();
}

} // namespace dovrane
