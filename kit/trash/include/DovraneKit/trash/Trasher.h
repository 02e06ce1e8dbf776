#pragma once
// The one road by which files and folders leave their place: moved to the Trash, never
// deleted, each with the record that lets it be put back. Planning drops what the deletion
// guard protects and what lies inside another item; executing checks every path again, moves
// what the user may move and hands the rest to an administrator closure as a command line of our
// mover ("dovrane-move"). No move follows a link in a folder above the item: each folder is
// opened from the home folder's real place (or from "/" for an item outside it) down, the item
// renamed out of the last one into the Trash's files/ folder, and back the same way. What moves
// is the item that was planned: its identity, noted when planned, is checked right before the
// rename, and another item found at its path since stays where it is.

#include "DovraneKit/core/Url.h"
#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/FolderDescent.h"
#include "DovraneKit/system/Shell.h"
#include "DovraneKit/trash/FreedesktopTrash.h"
#include "DovraneKit/trash/RemovedItem.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane {

struct TrashPlan {
    struct Entry {
        Url url;
        std::int64_t size = 0; // as the caller measured it
        std::int64_t files = 0;
        bool needsAdmin = false; // straight to the administrator move
        // The item as it was when planned; none when it could not be looked at, and then
        // executing moves whatever is at the path.
        std::optional<FolderDescent::Identity> identity = std::nullopt;

        // By the four values the sheet shows; the identity only says which item they are of.
        bool operator==(const Entry& other) const {
            return url == other.url && size == other.size && files == other.files && needsAdmin == other.needsAdmin;
        }
    };

    std::vector<Entry> entries; // in the caller's order
    std::vector<Url> refused;   // blocked by the deletion guard, in the caller's order

    std::int64_t size() const;
    std::int64_t files() const;
    bool needsAdmin() const;

    bool operator==(const TrashPlan&) const = default;
};

// One entry that did not reach the Trash. Trasher::Failure by name; declared out here so that
// code beside the library's own Failure (Expected.h) never has to guess which one it means.
struct TrashFailure {
    enum class Kind {
        blocked,   // the deletion guard refused it when executing
        admin,     // the administrator move was declined, or failed without saying why
        fileError, // the move failed for another reason, described in `reason`
    };

    Url path;
    std::string reason; // "blocked", "admin", or the reason in the user's language
    Kind kind = Kind::fileError;

    static TrashFailure blocked(Url path) { return {std::move(path), "blocked", Kind::blocked}; }
    static TrashFailure admin(Url path) { return {std::move(path), "admin", Kind::admin}; }
    static TrashFailure fileError(Url path, std::string description) {
        return {std::move(path), std::move(description), Kind::fileError};
    }

    bool operator==(const TrashFailure&) const = default;
};

struct Trasher {
    using Admin = Shell::Admin;
    using Failure = TrashFailure;

    struct Candidate {
        Url url;
        std::int64_t size = 0;
        std::int64_t files = 0;
        bool needsAdmin = false;
        // The item as the caller showed it (FolderDescent::identify); plan() looks when none.
        std::optional<FolderDescent::Identity> identity = std::nullopt;

        bool operator==(const Candidate&) const = default;
    };

    struct Outcome {
        std::vector<RemovedItem> removed; // in the plan's order
        std::vector<TrashFailure> failed;

        bool operator==(const Outcome&) const = default;
    };

    struct PutBackResult {
        enum class Kind { restored, goneFromTrash, originalTaken, failed };
        Kind kind = Kind::restored;
        // failed only: "admin", "blocked" (the deletion guard refuses the original place), or the
        // reason in the user's language
        std::string reason;

        static PutBackResult restored() { return {Kind::restored, {}}; }
        static PutBackResult goneFromTrash() { return {Kind::goneFromTrash, {}}; }
        static PutBackResult originalTaken() { return {Kind::originalTaken, {}}; }
        static PutBackResult failed(std::string why) { return {Kind::failed, std::move(why)}; }

        bool operator==(const PutBackResult&) const = default;
    };

    // One entry a move is about to take into the Trash: the item it will be there, with its
    // identity, and the info file written for it under a name of the move's own, which then
    // claims the item's Trash name (FreedesktopTrash::prepareInfo). A name counts for the move
    // only while that very file holds it.
    struct Taking {
        RemovedItem item;
        FolderDescent::Identity::File info;
    };

    // Where a move writes down what it does, so that a process killed part-way leaves the record
    // of what reached the Trash. The entries move in batches: each batch's Trash names are chosen
    // and its info files written under names of the move's own, the batch is handed to `record`,
    // and only then do the info files claim their names, reach the disk, and the items move. A
    // batch whose record fails moves nothing, nor does any after it. Without `record`, the
    // batches are the same.
    struct Journal {
        std::size_t batch = 200;
        std::function<bool(const std::vector<Taking>& taking)> record;
        // Part of the info files' own names, so that settle() finds those of this move; one of
        // the process's own when empty.
        std::string mark;
    };

    // What replace() puts in an item's place, and the steps it reaches.
    struct Replacement {
        enum class Step {
            recorded, // the journal names the item and the name beside it that it will be swapped to
            made,     // the replacement is whole at that name, and the item's info file is written
            swapped,  // the replacement holds the item's place, the item the other name
            moved,    // the item is in the Trash
        };
        // Makes the replacement whole at `staged`, a free name beside the item in its folder; true
        // once it is there whole. What it left there when it answers false is removed.
        std::function<bool(const std::string& staged)> make;
        // Called at each step, for a test that stops the process there.
        std::function<void(Step)> reached;
    };

    // Names replace() makes its replacements at begin with this, and go on with a new UUID.
    static constexpr std::string_view stagingPrefix = ".dovrane-swap-";

    DeletionGuard guardrail;
    // The "files" folder of the freedesktop home trash (FreedesktopTrash::homeTrashFiles); the
    // trash itself is its parent folder.
    Url trashFolder;
    // Without one, every move that needs administrator rights fails with "admin".
    Admin admin = [](const std::string&) { return false; };

    // Looks at the disk through the guard and to note each entry's identity.
    TrashPlan plan(const std::vector<Candidate>& candidates) const;
    // Entries one after the other, in batches; each ends in `removed` or in `failed`. What it
    // wrote into a trash is on the disk when it returns, so that a power cut loses no info file.
    Outcome execute(const TrashPlan& plan) const;
    Outcome execute(const TrashPlan& plan, const Journal& journal) const;
    // Replaces the entry's item by one made beside it, and moves the item to the Trash under its own
    // place's name: its record and its info file name the place, so Put Back brings it back there.
    // At every moment the place holds the item or the whole replacement: the replacement is made at
    // a free name in the item's folder, the two names are exchanged in one step, and the item moves
    // into the Trash from the other name; when that move fails, the names are exchanged back and
    // the replacement is removed. The journal records the item with that name (swappedTo) before
    // the replacement is made, so that settle() finishes what a process killed part-way left. An
    // entry that needs administrator rights, or a swap the user may not make, goes to the
    // administrator as one command of our mover once the replacement is made.
    Outcome replace(const TrashPlan::Entry& entry, const Replacement& replacement, const Journal& journal) const;
    // Whether each files/ folder met is one of this user's own trashes.
    using OwnTrashes = std::map<std::string, bool>;
    // Never replaces anything at the original path, nor goes there through a link in a folder
    // above it, nor to a place the guard would not let a move come from: the record is the
    // user's to edit. An entry at trashPath that is not the item (isInTrash) stays where it is
    // and fails, with the reason that it does not match; so does an item outside this user's own
    // Trash folders, and no password is asked for it. `returned`, when given, is called once the
    // item is at its original place again, before its info file goes: a journal's last point
    // before the Put Back is whole. `trashes`, shared by the items of one Put Back, keeps what was
    // found out about each Trash folder, so that it is gone down to once, not once an item.
    PutBackResult putBack(const RemovedItem& item, const std::function<void()>& returned = {},
                          OwnTrashes* trashes = nullptr) const;
    // The items of a record whose Put Back was cut short: whether each came back (its identity at
    // its original place), and the info file each left behind in a Trash of this user's, naming
    // its place with nothing at its name, is removed. True when every item came back.
    bool settlePutBack(const std::vector<RemovedItem>& items) const;

    // The item itself is still at its place in the Trash: something is there and the Trash's
    // info file for it records the item's original path.
    static bool isInTrash(const RemovedItem& item);
    // The item is still at its place in a Trash: isInTrash, or the very item moved there (by its
    // identity) whose info file names another place since it was edited, which Put Back leaves
    // where it is. Not an unrelated item trashed later under the same name. A record keeps Put
    // Back while one of its items is.
    static bool isStillInTrash(const RemovedItem& item);
    // The item itself (its identity) is at its original place again.
    static bool isBackInPlace(const RemovedItem& item);
    // What of a move cut short (its journal's `mark`) reached the Trash: of the entries it
    // journaled, in their order, those whose name the move claimed (the info file there is the
    // one it journaled) and that hold the item itself (its identity; where none could be taken,
    // the info file naming its place); needsAdmin also when the item is not this user's (the
    // administrator moved it). An entry outside this user's own Trash folders is dropped, with a
    // line on standard error, and nothing of it is touched. Removed: a claimed info file whose
    // item never came, and the move's info files that claimed nothing. Any other file is not
    // this move's and stays. Of a replacement (swappedTo), the item found under the name beside
    // its place is moved on into the Trash when the move claimed its name there; anything else
    // there of this user's is the replacement that never took the place, made whole or in part,
    // and is removed.
    std::vector<RemovedItem> settle(const std::vector<Taking>& taken, const std::string& mark) const;
    // One single-quoted word for /bin/sh (Shell::quote).
    static std::string quote(std::string_view text);

private:
    // Where a move goes down from, and the path spelled from there: the canonical home for a
    // path in the home (spelled as the caller gave the home or canonical), else "/". The home
    // given through a link is gone down from where it really is, so no link is crossed below it.
    struct Way {
        std::string root;
        std::string path;
    };

    // An entry checked and given its Trash name, ready to move.
    struct Ready;
    // What the entries of one batch share: the trashes chosen for them, and the names taken in
    // each (by trash folder) that are still to be claimed.
    struct Batch {
        FreedesktopTrash::Choices trashes;
        std::map<std::string, std::set<std::string>> taken;
    };

    std::string homeTrash() const;
    // `files` is the files/ folder of one of this user's own trashes (the home trash, a volume's):
    // links above a trash folder are where the user keeps it; none in it or below it.
    bool isOwnTrash(const std::string& files) const;
    // The same, asked once a folder when `known` keeps the answers.
    bool isOwnTrash(const std::string& files, OwnTrashes* known) const;
    Way wayTo(const std::string& path) const;
    // Checks the entry again (the guard's `verdict` on it just now) and chooses its trash and its
    // name there, passing over the names the batch took; nothing when it failed, which is then in
    // the outcome.
    std::optional<Ready> prepare(const TrashPlan::Entry& entry, const DeletionGuard::Verdict& verdict,
                                 const std::vector<std::string>& mounts, Batch& batch, Outcome& outcome) const;
    void moveAsAdmin(const Ready& ready, Outcome& outcome) const;
    // The swap of replace() by our mover, run as the administrator.
    void swapAsAdmin(const Ready& ready, const std::string& staged, const FolderDescent::Identity& identity,
                     Outcome& outcome) const;
};

} // namespace dovrane
