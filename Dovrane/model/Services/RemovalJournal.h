#pragma once
// The journal of a removal while it runs, so that a process killed part-way (a crash, a power
// cut, a logout) loses no record of what it moved. The record goes into the store before the
// first item moves, marked as under way, and each batch of items is added under the Trash names
// it is about to take before that batch moves; the finished removal then takes its place among
// the journal's records in one transaction. The next start settles what a process that is gone
// left under way against the Trash. Everything here runs on the calling thread over a
// connection of its own, a pool thread's, never the main thread's container.

#include "Services/StoreRecords.h"
#include "Services/Wording.h"

#include <DovraneKit/core/Date.h>
#include <DovraneKit/trash/Trasher.h>

#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dovrane {

// What one Put Back achieved.
struct PutBackTally {
    int restored = 0;
    int taken = 0;            // something else stands at the original place
    bool leftInTrash = false; // an item is still in the Trash afterwards
    // Those that are neither back nor taken, in the record's order: gone from the Trash or failed.
    std::vector<Trasher::PutBackResult> failures;
    int alreadyBack = 0; // out of the Trash and at their place already: an earlier Put Back's
    // Nothing of the record is left in the Trash and something of it is back: it is put back.
    bool complete() const { return restored + alreadyBack > 0 && !leftInTrash; }
};

class RemovalJournal {
public:
    // Items per batch: what one commit covers. Each commit waits for the disk, so that a power cut
    // loses no record of what moved; each item of a batch holds its folder open until it moves,
    // which bounds the batch from above.
    static constexpr std::size_t batch = 500;

    // A removal's record, under way from now in the store at storePath and owned by this process
    // (RemovalOwner); nothing when the store cannot be opened or written, or its lock file made.
    static std::unique_ptr<RemovalJournal> begin(const std::string& storePath, Date date, const Wording& title,
                                                 QUuid uuid = QUuid::createUuid());
    // Leaves a record that was not finished under way, for the next start to settle.
    ~RemovalJournal();
    RemovalJournal(const RemovalJournal&) = delete;
    RemovalJournal& operator=(const RemovalJournal&) = delete;

    // One batch's items under the Trash names they are about to take, each with the info file
    // that is to claim its name, written at once.
    bool add(const std::vector<Trasher::Taking>& taking);
    // The removal as it ended takes the place of the record under way: a journal record with
    // `removed` (encoded as the store keeps them), or none when nothing moved. A record of the
    // same identifier already in the journal stays the only one.
    bool finish(const std::vector<RemovedItem>& removed, const QByteArray& encodedItems);

    // Points of a journaled move or Put Back, for a test that stops the process there: a batch
    // recorded, the whole move done; an item of a Put Back at its place with its info file still
    // there, every item of it tried.
    enum class Point { recorded, moved, returned, tried };
    struct Moved {
        Trasher::Outcome outcome;
        bool saved = false; // the record is in the store (or nothing moved and none was due)
        // The record's date and identifier, for a record that could not be saved here.
        Date date;
        QUuid uuid;
    };
    // Moves the plan through the trasher with its record kept as above. Without a journal (the
    // store cannot be written) nothing moves: every entry fails, saying why.
    static Moved move(const Trasher& trasher, const TrashPlan& plan, const std::string& storePath, Date date,
                      const Wording& title, const std::function<void(Point)>& reached = {});

    // The same for a removal that `work` makes through the trasher with the hooks it is handed (an
    // update's replacement, Trasher::replace): the record goes under way at the first batch and
    // is finished with the items `work` answers moved, on this thread. Without a journal the
    // hooks refuse every batch.
    static Moved journaled(const std::string& storePath, Date date, const Wording& title,
                           const std::function<std::vector<RemovedItem>(const Trasher::Journal&)>& work);

    // Puts the items of the record `uuid` back, one after the other, with the Put Back under way
    // in the store from before the first item moves: a process killed part-way leaves it for the
    // next start to settle. The step that ends it marks the record put back when the tally is
    // complete. Without a store to write, the items go back all the same and nothing is marked.
    static PutBackTally putBack(const Trasher& trasher, const QUuid& uuid, const std::vector<RemovedItem>& items,
                                const std::string& storePath, const std::function<void(Point)>& reached = {});

    // Settles every record that a process no longer running (RemovalOwner::mayRun) left under
    // way, against the Trash of
    // `trasher`: the items that reached a Trash name the move claimed are kept as a journal record
    // of its date, title and identifier (unless the journal holds that record already), and the
    // move's info files left without their item are removed (Trasher::settle). A Put Back such a
    // process left under way has the info files of the items that came back removed, and its
    // record marked put back when all of them did (Trasher::settlePutBack). The number of records
    // written or marked; nothing when the store could not be read or written.
    static std::optional<int> settle(const std::string& storePath, const Trasher& trasher);

private:
    RemovalJournal(QString connection, qint64 id, Date date, const Wording& title, QUuid uuid);
    // Finishes the record with what `moved` says moved, and notes in it whether that was saved.
    void conclude(Moved& moved);

    QString connection_;
    qint64 id_;
    Date date_;
    Wording title_;
    QUuid uuid_;
};

} // namespace dovrane
