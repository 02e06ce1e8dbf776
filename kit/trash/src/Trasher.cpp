#include "DovraneKit/trash/Trasher.h"

#include "DovraneKit/core/Language.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/FolderDescent.h"
#include "DovraneKit/system/ToolPaths.h"
#include "DovraneKit/trash/FreedesktopTrash.h"

#include "DovraneKit/core/Saturating.h"
#include "trash/MoveReasons.h"
#include "trash/TrasherInternals.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <unordered_set>

namespace dovrane {

namespace {

// Gone for sure: "cannot look" (a folder without search rights) is not "gone".
bool isGone(int folder, const std::string& name) {
    struct stat info;
    return fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

bool isGone(const std::string& path) { return isGone(AT_FDCWD, path); }

std::string toTrashReason(const std::error_code& error) {
    return MoveReasons::forError(error, MoveReasons::Way::toTrash);
}

std::string backReason(const std::error_code& error) { return MoveReasons::forError(error, MoveReasons::Way::back); }

// Our mover, run as root, goes to each side from "/" without following a link, its root too, and
// never replaces what is at the destination; given the item's identity, it moves that item
// only. The Trash's side starts at its files/ folder, where it really is: the trash is where the
// user keeps it (trashFor looked at its folders), links above it and all. With `staged`, its
// swap: the replacement made there takes the item's place first.
std::string moverCommand(const std::string& fromRoot, const std::string& from, const std::string& toRoot,
                         const std::string& to, const std::optional<FolderDescent::Identity>& identity = {},
                         const std::optional<std::string>& staged = {}) {
    std::string command = Shell::quote(ToolPaths::current().mover) + (staged ? " --swap " : " ") +
                          Shell::quote(fromRoot) + " " + Shell::quote(from) + " ";
    if (staged)
        command += Shell::quote(*staged) + " ";
    command += Shell::quote(toRoot) + " " + Shell::quote(to);
    if (identity)
        for (const std::string& part : {identity->item.text(), identity->folder.text()}) {
            command += ' ';
            command += part;
        }
    return command;
}

// The info file's recorded place is the item's: its path as recorded (the home trash), or the
// real path of its folder and its name (a volume's trash).
bool namesPlace(const std::optional<std::string>& recorded, const Url& original) {
    if (!recorded)
        return false;
    const std::string named = Url::fromPath(*recorded).path();
    if (named == original.path())
        return true;
    const std::optional<std::string> folder = Fs::realPath(Path::parent(original.path()));
    return folder && Path::join(*folder, Path::lastComponent(original.path())) == named;
}

// The names of the info files a move writes before they claim a Trash name: hidden, no
// .trashinfo, and the move's mark in them, so that settling the move finds the ones it left.
std::string privateInfoPrefix(const std::string& mark) { return ".dovrane-" + mark + "-"; }
std::string privateInfoName(const std::string& mark, std::size_t serial) {
    return privateInfoPrefix(mark) + std::to_string(serial);
}

// The mark of a move's own info files: its journal's, else one of this process's own.
std::string markOf(const Trasher::Journal& journal) {
    static std::atomic<unsigned> moves = 0;
    return journal.mark.empty() ? std::to_string(getpid()) + "-" + std::to_string(++moves) : journal.mark;
}

// The files/ folder of a trash where it really is, as the mover goes down to it, and an entry's
// path there.
std::string realFolder(const std::string& folder) { return Fs::realPath(folder).value_or(folder); }

// Why the mover did not move, when it ran and said so through its exit status; pkexec's own
// statuses (a password not given) and a closure that answers a Boolean say nothing.
std::optional<std::error_code> moverError(const Shell::AdminAnswer& answer) {
    if (!answer.status() || *answer.status() == 0)
        return std::nullopt;
    return FolderDescent::errorForExitStatus(*answer.status());
}

// The mover's own guard refused it: said as the trasher's guard says it.
bool isRefused(const Shell::AdminAnswer& answer) { return answer.status() == FolderDescent::refusedExitStatus; }

// Removes what stands at the staged name in the item's folder: a replacement made there, whole or
// in part, but never the item itself, which only a failed exchange back could leave there.
void removeStaged(const FolderDescent::Place& place, const std::string& staged,
                  const FolderDescent::Identity::File& item) {
    const std::string folder = place.folder.path();
    if (folder.empty())
        return;
    const std::string path = Path::join(folder, staged);
    const auto found = FolderDescent::identify(path);
    if (found && found->item.inode != 0 && !(found->item == item))
        Fs::removeAll(path);
}

// What a journal took as the name of a replacement: ours, in the item's folder.
bool isStagingName(const Url& staged, const Url& original) {
    return Path::parent(staged.path()) == Path::parent(original.path()) &&
           staged.lastPathComponent().starts_with(Trasher::stagingPrefix);
}

// Finishes the replacement a process was killed in, as far as it got: the item swapped out to the
// name beside its place goes on into the Trash under the name it claimed (`claimed`: the info
// file there is the one the journal names); the replacement that never took the place is removed.
void settleReplacement(const RemovedItem& item, bool claimed) {
    if (!item.identity || !isStagingName(*item.swappedTo, item.originalPath))
        return;
    const std::string staged = item.swappedTo->path();
    const std::string trashPath = item.trashPath.path();
    struct stat status;
    if (lstat(staged.c_str(), &status) != 0 || lstat(trashPath.c_str(), &status) == 0)
        return;
    const std::optional<std::string> folder = Fs::realPath(Path::parent(staged));
    if (!folder)
        return;
    FolderDescent::Place place{OpenFolder(open(folder->c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)),
                               Path::lastComponent(staged)};
    const auto found = FolderDescent::identify(place);
    if (!found || found->item.inode == 0)
        return;
    if (!(found->item == *item.identity)) {
        // The replacement, never swapped in. Only what this user made there, and no link.
        if (fstatat(place.folder.fd(), place.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISLNK(status.st_mode) && status.st_uid == geteuid())
            Fs::removeAll(Path::join(*folder, place.name));
        return;
    }
    if (!claimed)
        return; // left where it is: the item itself, under a name that is ours
    const FreedesktopTrash::Slot slot{{Path::parent(Path::parent(trashPath)), {}}, item.trashPath.lastPathComponent()};
    (void)FreedesktopTrash::moveInto(slot, place, *found);
}

} // namespace

Trasher::Way Trasher::wayTo(const std::string& path) const {
    std::string spelled = guardrail.inCanonicalHome(path);
    std::string root = FolderDescent::rootFor(spelled, guardrail.home);
    return {std::move(root), std::move(spelled)};
}

std::int64_t TrashPlan::size() const {
    std::int64_t total = 0;
    for (const Entry& entry : entries)
        total = saturatingAdd(total, entry.size);
    return total;
}

std::int64_t TrashPlan::files() const {
    std::int64_t total = 0;
    for (const Entry& entry : entries)
        total = saturatingAdd(total, entry.files);
    return total;
}

bool TrashPlan::needsAdmin() const {
    for (const Entry& entry : entries)
        if (entry.needsAdmin)
            return true;
    return false;
}

TrashPlan Trasher::plan(const std::vector<Candidate>& candidates) const {
    TrashPlan result;
    std::unordered_set<std::string> seen;
    std::vector<const Candidate*> unique;
    std::vector<Url> urls;
    for (const Candidate& candidate : candidates) {
        if (!seen.insert(candidate.url.path()).second)
            continue;
        unique.push_back(&candidate);
        urls.push_back(candidate.url);
    }
    // All at once, so that each folder is resolved once however many items it holds.
    const std::vector<DeletionGuard::Verdict> verdicts = guardrail.checkEach(urls);
    std::vector<TrashPlan::Entry> entries;
    for (std::size_t index = 0; index < unique.size(); ++index) {
        const Candidate& candidate = *unique[index];
        if (verdicts[index].isAllowed())
            entries.push_back(
                {candidate.url, candidate.size, candidate.files, candidate.needsAdmin, candidate.identity});
        else
            result.refused.push_back(candidate.url);
    }

    // Plain text comparison: an entry goes when the path of another entry followed by "/"
    // begins its own path. Only entries contain; a refused folder keeps what is inside it.
    std::unordered_set<std::string> paths;
    for (const auto& entry : entries)
        paths.insert(entry.url.path());
    for (auto& entry : entries) {
        const std::string path = entry.url.path();
        bool inside = false;
        for (std::size_t slash = path.find('/', 1); slash != std::string::npos && !inside;
             slash = path.find('/', slash + 1))
            inside = paths.contains(path.substr(0, slash));
        if (inside)
            continue;
        if (!entry.identity)
            entry.identity = FolderDescent::identify(path);
        result.entries.push_back(std::move(entry));
    }
    return result;
}

struct Trasher::Ready {
    const TrashPlan::Entry* entry;
    Way way;
    FolderDescent::Place place;
    FreedesktopTrash::Slot slot;
    std::optional<FolderDescent::Identity> identity;
    int tries = 0;        // claims before this one, lost to another program
    std::string infoName; // the info file written for it, under the move's own name
    FolderDescent::Identity::File info;

    RemovedItem removed(bool needsAdmin) const {
        return {entry->url, Url::fromPath(slot.trashPath()), entry->size, needsAdmin,
                identity ? std::optional(identity->item) : std::nullopt};
    }
};

std::optional<Trasher::Ready> Trasher::prepare(const TrashPlan::Entry& entry, const DeletionGuard::Verdict& verdict,
                                               const std::vector<std::string>& mounts, Batch& batch,
                                               Outcome& outcome) const {
    if (!verdict.isAllowed()) {
        outcome.failed.push_back(TrashFailure::blocked(entry.url));
        return std::nullopt;
    }
    // Moved into the Trash, another disk or share would be emptied with it.
    if (Fs::holdsMountPoint(entry.url.path(), mounts)) {
        outcome.failed.push_back(TrashFailure::fileError(
            entry.url, L("A disk or share is mounted on this item or inside it, so it was left where it is.")));
        return std::nullopt;
    }
    // The guard judged where the path leads now; the move goes only where it leads without
    // a link, so a folder swapped for one since cannot bring in anything from elsewhere.
    const std::string path = entry.url.path();
    Way way = wayTo(path);
    auto place = FolderDescent::parentOf(way.root, way.path);
    if (!place) {
        outcome.failed.push_back(TrashFailure::fileError(entry.url, toTrashReason(place.error())));
        return std::nullopt;
    }
    // Another item at the path since it was planned (its folder swapped for another one) is
    // not what the user confirmed; no password is asked for it either.
    if (entry.identity)
        if (const std::error_code changed = FolderDescent::verify(*place, *entry.identity)) {
            outcome.failed.push_back(TrashFailure::fileError(entry.url, toTrashReason(changed)));
            return std::nullopt;
        }
    // The info file is written as the user before any move, the administrator's too, so the
    // desktop's Trash knows the item the moment it arrives.
    auto trash = FreedesktopTrash::trashFor(*place, homeTrash(), batch.trashes);
    if (!trash) {
        outcome.failed.push_back(TrashFailure::fileError(entry.url, trash.error().message));
        return std::nullopt;
    }
    // The item moved is the one looked at now, when none was planned: the mover and the journal
    // name it.
    std::optional<FolderDescent::Identity> identity = entry.identity;
    if (!identity)
        if (auto seen = FolderDescent::identify(*place); seen && seen->item.inode != 0)
            identity = *seen;
    std::set<std::string>& names = batch.taken[trash->folder];
    FreedesktopTrash::Slot slot{*trash, FreedesktopTrash::freeName(*trash, place->name, names)};
    names.insert(slot.name);
    return Ready{&entry, std::move(way), std::move(*place), std::move(slot), std::move(identity), 0, {}, {}};
}

Trasher::Outcome Trasher::execute(const TrashPlan& plan) const { return execute(plan, Journal{}); }

Trasher::Outcome Trasher::execute(const TrashPlan& plan, const Journal& journal) const {
    Outcome outcome;
    if (plan.entries.empty())
        return outcome;
    const std::vector<std::string> mounts = Fs::mountPoints(); // once for the whole move
    // Each entry of a batch holds its folder open until it moves; the batch's info files reach
    // the disk together.
    const std::size_t batch = std::max<std::size_t>(journal.batch, 1);
    const std::string mark = markOf(journal);
    std::size_t written = 0;
    // Entries whose name another program took between the choice and the claim go again, in a
    // later batch, under a new name; a few times at most.
    constexpr int claims = 3;
    std::vector<std::pair<const TrashPlan::Entry*, int>> pending;
    pending.reserve(plan.entries.size());
    for (const TrashPlan::Entry& entry : plan.entries)
        pending.emplace_back(&entry, 0);
    std::vector<FreedesktopTrash::Directory> used; // every trash the move wrote into
    std::vector<Url> urls;
    std::vector<DeletionGuard::Verdict> verdicts;
    for (std::size_t next = 0; next < pending.size();) {
        std::vector<Ready> ready;
        Batch chosen;
        for (std::size_t checked = next; next < pending.size() && ready.size() < batch; ++next) {
            // The guard looks at the entries a batch's worth at a time, each folder resolved once.
            if (next == checked) {
                urls.clear();
                for (; checked < pending.size() && urls.size() < batch - ready.size(); ++checked)
                    urls.push_back(pending[checked].first->url);
                verdicts = guardrail.checkEach(urls);
            }
            auto prepared =
                prepare(*pending[next].first, verdicts[urls.size() - (checked - next)], mounts, chosen, outcome);
            if (!prepared)
                continue;
            // The info file keeps the path as planned, as the journal does, so that Put Back finds
            // it. It is written before the journal hears of the batch, under a name of the move's
            // own, so that the journal names the very file that will claim the item's name.
            prepared->tries = pending[next].second;
            prepared->infoName = privateInfoName(mark, ++written);
            auto info = FreedesktopTrash::prepareInfo(prepared->slot.trash, prepared->infoName, prepared->place,
                                                      prepared->entry->url.path());
            if (!info) {
                outcome.failed.push_back(TrashFailure::fileError(prepared->entry->url, info.error().message));
                continue;
            }
            prepared->info = *info;
            ready.push_back(std::move(*prepared));
        }
        if (ready.empty())
            continue;
        if (journal.record) {
            std::vector<Taking> taking;
            taking.reserve(ready.size());
            for (const Ready& each : ready)
                taking.push_back({each.removed(each.entry->needsAdmin), each.info});
            // Nothing moves that its record does not name.
            if (!journal.record(taking)) {
                const std::string unrecorded =
                    L("Dovrane could not write its record of this move, so the item was left where it is.");
                for (const Ready& each : ready) {
                    unlink(Path::join(each.slot.trash.info(), each.infoName).c_str());
                    outcome.failed.push_back(TrashFailure::fileError(each.entry->url, unrecorded));
                }
                for (; next < pending.size(); ++next)
                    outcome.failed.push_back(TrashFailure::fileError(pending[next].first->url, unrecorded));
                break;
            }
        }
        // Every info file of the batch claims its name and is on the disk before any item of it
        // moves: after a power cut, each item in the Trash has its info file whole.
        std::vector<bool> claimed(ready.size(), false);
        std::vector<std::optional<TrashFailure>> unclaimed(ready.size());
        std::vector<FreedesktopTrash::Directory> trashes;
        for (std::size_t index = 0; index < ready.size(); ++index) {
            const Ready& each = ready[index];
            if (auto failure = FreedesktopTrash::claim(each.slot, each.infoName)) {
                if (failure->code == std::errc::file_exists && each.tries + 1 < claims)
                    pending.emplace_back(each.entry, each.tries + 1);
                else
                    unclaimed[index] = TrashFailure::fileError(each.entry->url, failure->message);
                continue;
            }
            claimed[index] = true;
            TrasherInternals::note(TrasherInternals::Step::infoWritten, each.slot.infoPath());
            if (std::find(trashes.begin(), trashes.end(), each.slot.trash) == trashes.end())
                trashes.push_back(each.slot.trash);
        }
        const std::error_code unflushed = FreedesktopTrash::flush(trashes);
        for (const FreedesktopTrash::Directory& trash : trashes) {
            if (!unflushed)
                TrasherInternals::note(TrasherInternals::Step::flushed, trash.folder);
            if (std::find(used.begin(), used.end(), trash) == used.end())
                used.push_back(trash);
        }
        for (std::size_t index = 0; index < ready.size(); ++index) {
            if (unclaimed[index])
                outcome.failed.push_back(std::move(*unclaimed[index]));
            if (!claimed[index])
                continue;
            const Ready& each = ready[index];
            const TrashPlan::Entry& entry = *each.entry;
            // An item whose info file may not be whole after a power cut stays where it is.
            if (unflushed) {
                FreedesktopTrash::release(each.slot);
                outcome.failed.push_back(TrashFailure::fileError(entry.url, toTrashReason(unflushed)));
                continue;
            }
            if (entry.needsAdmin) {
                moveAsAdmin(each, outcome);
                continue;
            }
            // The identity is checked once more right before the rename.
            const std::error_code moved = FreedesktopTrash::moveInto(each.slot, each.place, each.identity);
            if (!moved) {
                TrasherInternals::note(TrasherInternals::Step::moved, each.slot.trashPath());
                outcome.removed.push_back(each.removed(false));
            } else if (TrasherInternals::isPermissionError(moved))
                moveAsAdmin(each, outcome);
            else {
                FreedesktopTrash::release(each.slot);
                outcome.failed.push_back(TrashFailure::fileError(entry.url, toTrashReason(moved)));
            }
        }
    }
    // The last renames reach the disk too before the outcome counts them as moved; the next
    // batch's flush took those before it along.
    if (!outcome.removed.empty() && !FreedesktopTrash::flush(used))
        TrasherInternals::note(TrasherInternals::Step::flushed, {});
    return outcome;
}

void Trasher::moveAsAdmin(const Ready& ready, Outcome& outcome) const {
    const TrashPlan::Entry& entry = *ready.entry;
    const FreedesktopTrash::Slot& slot = ready.slot;
    const std::string destination = slot.trashPath();
    // The mover moves the item looked at here, not one put in its place while the password
    // dialog showed. It answers success only when it renamed, but only the disk tells what
    // happened.
    const std::string files = realFolder(slot.trash.files());
    const std::string command =
        moverCommand(ready.way.root, ready.way.path, files, Path::join(files, slot.name), ready.identity);
    const Shell::AdminAnswer answer = Shell::runAsAdmin(admin, command);
    if (answer && isGone(ready.place.folder.fd(), ready.place.name) && Fs::exists(destination)) {
        TrasherInternals::note(TrasherInternals::Step::moved, destination);
        outcome.removed.push_back(ready.removed(true));
        return;
    }
    FreedesktopTrash::release(slot);
    // The mover's own reason, as a folder swapped for a link while the password dialog showed.
    if (isRefused(answer))
        outcome.failed.push_back(TrashFailure::blocked(entry.url));
    else if (const auto error = moverError(answer))
        outcome.failed.push_back(TrashFailure::fileError(entry.url, toTrashReason(*error)));
    else
        outcome.failed.push_back(TrashFailure::admin(entry.url));
}

Trasher::Outcome Trasher::replace(const TrashPlan::Entry& entry, const Replacement& replacement,
                                  const Journal& journal) const {
    Outcome outcome;
    Batch alone;
    std::optional<Ready> ready = prepare(entry, guardrail.check(entry.url), Fs::mountPoints(), alone, outcome);
    if (!ready)
        return outcome;
    const auto reached = [&](Replacement::Step step) {
        if (replacement.reached)
            replacement.reached(step);
    };
    const auto failed = [&](std::string reason) {
        outcome.failed.push_back(TrashFailure::fileError(entry.url, std::move(reason)));
        return outcome;
    };
    // Settling tells the item from its replacement by its identity.
    const std::optional<FolderDescent::Identity> identity = ready->identity;
    if (!identity)
        return failed(toTrashReason(std::make_error_code(std::errc::no_such_file_or_directory)));
    const std::string staged = std::string(stagingPrefix) + Fs::makeUuid();
    const Url stagedUrl = entry.url.deletingLastPathComponent().appending(staged);
    const std::string path = entry.url.path(), mark = markOf(journal);
    std::size_t written = 0;
    std::string infoName; // the info file written for the item, while it claims no name
    const auto abandoned = [&](std::string reason) {
        if (!infoName.empty())
            unlink(Path::join(ready->slot.trash.info(), infoName).c_str());
        removeStaged(ready->place, staged, identity->item);
        return failed(std::move(reason));
    };
    // The info file is written under a name of the move's own before the journal hears of the
    // item, so that the journal names the very file that then claims the item's Trash name.
    const auto journaled = [&]() -> std::optional<std::string> {
        infoName = privateInfoName(mark, ++written);
        auto info = FreedesktopTrash::prepareInfo(ready->slot.trash, infoName, ready->place, path);
        if (!info) {
            infoName.clear();
            return info.error().message;
        }
        RemovedItem taking = ready->removed(entry.needsAdmin);
        taking.swappedTo = stagedUrl;
        if (journal.record && !journal.record({{std::move(taking), *info}}))
            return L("Dovrane could not write its record of this move, so the item was left where it is.");
        return std::nullopt;
    };
    if (auto why = journaled()) {
        if (!infoName.empty())
            unlink(Path::join(ready->slot.trash.info(), infoName).c_str());
        return failed(*why);
    }
    reached(Replacement::Step::recorded);
    struct stat status;
    if (!replacement.make || !replacement.make(stagedUrl.path()) ||
        fstatat(ready->place.folder.fd(), staged.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return abandoned(L("The replacement could not be made beside the item, so the item was left where it is."));
    // The name the journal took may have been taken since by another program: the next one, recorded
    // again first.
    for (int tries = 1;; ++tries) {
        auto failure = FreedesktopTrash::claim(ready->slot, infoName);
        infoName.clear(); // claimed, or gone with the failure
        if (!failure)
            break;
        if (failure->code != std::errc::file_exists || tries == 3)
            return abandoned(failure->message);
        ready->slot.name = FreedesktopTrash::freeName(ready->slot.trash, ready->place.name);
        if (auto why = journaled())
            return abandoned(*why);
    }
    TrasherInternals::note(TrasherInternals::Step::infoWritten, ready->slot.infoPath());
    // Its info file on the disk before the item moves, as execute()'s are.
    if (const std::error_code unflushed = FreedesktopTrash::flush({ready->slot.trash})) {
        FreedesktopTrash::release(ready->slot);
        return abandoned(toTrashReason(unflushed));
    }
    TrasherInternals::note(TrasherInternals::Step::flushed, ready->slot.trash.folder);
    reached(Replacement::Step::made);

    std::error_code error;
    if (!entry.needsAdmin)
        error = FreedesktopTrash::swapInto(ready->slot, ready->place, staged, *identity,
                                           [&] { reached(Replacement::Step::swapped); });
    if (!entry.needsAdmin && !error) {
        TrasherInternals::note(TrasherInternals::Step::moved, ready->slot.trashPath());
        outcome.removed.push_back(ready->removed(false));
    } else if (entry.needsAdmin || TrasherInternals::isPermissionError(error))
        swapAsAdmin(*ready, staged, *identity, outcome);
    else if (error == std::errc::invalid_argument)
        failed(L("The disk that holds this item cannot swap two items in one step, so the item was left where it is."));
    else
        failed(toTrashReason(error));
    if (!outcome.removed.empty()) {
        if (!FreedesktopTrash::flush({ready->slot.trash}))
            TrasherInternals::note(TrasherInternals::Step::flushed, {});
        reached(Replacement::Step::moved);
        return outcome;
    }
    FreedesktopTrash::release(ready->slot);
    removeStaged(ready->place, staged, identity->item);
    return outcome;
}

void Trasher::swapAsAdmin(const Ready& ready, const std::string& staged, const FolderDescent::Identity& identity,
                          Outcome& outcome) const {
    const TrashPlan::Entry& entry = *ready.entry;
    const std::string trashPath = ready.slot.trashPath();
    // Our mover swaps and moves the item the user's look saw; only the disk tells what happened.
    const std::string files = realFolder(ready.slot.trash.files());
    const Shell::AdminAnswer answer =
        Shell::runAsAdmin(admin, moverCommand(ready.way.root, ready.way.path, files, Path::join(files, ready.slot.name),
                                              identity, Path::join(Path::parent(ready.way.path), staged)));
    const auto atPlace = FolderDescent::identify(ready.place);
    if (answer && isGone(ready.place.folder.fd(), staged) && atPlace && atPlace->item.inode != 0 &&
        !(atPlace->item == identity.item) && Fs::exists(trashPath)) {
        TrasherInternals::note(TrasherInternals::Step::moved, trashPath);
        outcome.removed.push_back(ready.removed(true));
    } else if (isRefused(answer))
        outcome.failed.push_back(TrashFailure::blocked(entry.url));
    else if (const auto error = moverError(answer))
        outcome.failed.push_back(TrashFailure::fileError(entry.url, toTrashReason(*error)));
    else
        outcome.failed.push_back(TrashFailure::admin(entry.url));
}

Trasher::PutBackResult Trasher::putBack(const RemovedItem& item, const std::function<void()>& returned,
                                        OwnTrashes* trashes) const {
    const std::string trashPath = item.trashPath.path();
    const std::string originalPath = item.originalPath.path();
    // The record is the user's to edit: an item elsewhere than in a Trash of theirs stays where it
    // is, and no password is asked for it.
    if (!isOwnTrash(Path::parent(trashPath), trashes) && Fs::exists(trashPath))
        return PutBackResult::failed(L("This item is not in your Trash, so nothing was moved."));
    if (!isInTrash(item)) {
        // Something else at the recorded place (a record not written by this system, or the name
        // taken again after the Trash was emptied) is not the item and stays where it is.
        if (Fs::exists(trashPath))
            return PutBackResult::failed(L("The record does not match what is in the Trash, so nothing was moved."));
        return PutBackResult::goneFromTrash();
    }
    // The record and its info file are the user's to edit: an item goes back only to a place a
    // move could have taken it from, and no password is asked for any other.
    if (!guardrail.check(item.originalPath).isAllowed())
        return PutBackResult::failed("blocked");
    if (Fs::exists(originalPath))
        return PutBackResult::originalTaken();

    const Way back = wayTo(originalPath);
    if (item.needsAdmin) {
        const std::string files = realFolder(Path::parent(trashPath));
        const Shell::AdminAnswer answer = Shell::runAsAdmin(
            admin, moverCommand(files, Path::join(files, Path::lastComponent(trashPath)), back.root, back.path));
        if (answer && isGone(trashPath) && Fs::exists(originalPath)) {
            if (returned)
                returned();
            if (std::string info = FreedesktopTrash::infoPathFor(trashPath); !info.empty())
                unlink(info.c_str());
            return PutBackResult::restored();
        }
        if (isRefused(answer))
            return PutBackResult::failed("blocked");
        if (const auto error = moverError(answer))
            return *error == std::errc::file_exists ? PutBackResult::originalTaken()
                                                    : PutBackResult::failed(backReason(*error));
        return PutBackResult::failed("admin");
    }

    auto trashed = FolderDescent::parentOf(Path::parent(trashPath), trashPath);
    if (!trashed)
        return PutBackResult::failed(backReason(trashed.error()));
    // The folders that held the item are made again where missing, and none of them may be a
    // link: the item goes back to where it was, not to wherever a link leads now.
    auto original = FolderDescent::parentOf(back.root, back.path, true);
    if (!original)
        return PutBackResult::failed(backReason(original.error()));
    if (auto failure = FreedesktopTrash::restore(*trashed, trashPath, *original, returned)) {
        // Something appeared at the original path after the look above; it stays untouched.
        if (failure->code == std::errc::file_exists)
            return PutBackResult::originalTaken();
        return PutBackResult::failed(failure->message);
    }
    return PutBackResult::restored();
}

std::vector<RemovedItem> Trasher::settle(const std::vector<Taking>& taken, const std::string& mark) const {
    std::vector<RemovedItem> kept;
    std::set<std::string> trashes = {homeTrash()};
    OwnTrashes ownTrashes; // a move's entries share a few
    for (const Taking& entry : taken) {
        const std::string trashPath = entry.item.trashPath.path(), files = Path::parent(trashPath);
        // The journal is the user's to edit: what it names outside a Trash is not ours to keep,
        // nor to clear.
        if (!isOwnTrash(files, &ownTrashes)) {
            std::fprintf(stderr, "Settling a removal: %s is in no Trash of this user, so its entry was dropped\n",
                         trashPath.c_str());
            continue;
        }
        trashes.insert(Path::parent(Path::parent(trashPath)));
        // A name counts only while the info file this move wrote holds it: another program's, or
        // another Dovrane's that took the same name first, is theirs, and so is the item there.
        const std::string info = FreedesktopTrash::infoPathFor(trashPath);
        const auto found = FolderDescent::identify(info);
        const bool claimed = entry.info.inode != 0 && found && found->item == entry.info;
        if (entry.item.swappedTo)
            settleReplacement(entry.item, claimed);
        if (!claimed)
            continue;
        // The item itself by its identity; one that could not be looked at when it moved (the
        // administrator moved it from a folder closed to the user) by its info file, in a name
        // no one else could have taken.
        const auto there = FolderDescent::identify(trashPath);
        const bool itsItem =
            there && (entry.item.identity ? there->item == *entry.item.identity
                                          : there->item.inode != 0 &&
                                                FreedesktopTrash::holds(trashPath, entry.item.originalPath.path()));
        struct stat status;
        if (itsItem && lstat(trashPath.c_str(), &status) == 0) {
            RemovedItem moved = entry.item;
            moved.needsAdmin = moved.needsAdmin || status.st_uid != geteuid();
            moved.swappedTo.reset(); // the journal's alone
            kept.push_back(std::move(moved));
        } else if (there && there->item.inode == 0) {
            unlink(info.c_str()); // claimed, and its item never came
        }
    }
    // The info files the move wrote and never claimed a name with.
    const std::string prefix = privateInfoPrefix(mark);
    for (const std::string& trash : mark.empty() ? std::set<std::string>() : trashes) {
        const std::string info = Path::join(trash, "info");
        struct stat status;
        if (lstat(info.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
            continue;
        for (const std::string& name : Fs::list(info))
            if (name.starts_with(prefix))
                unlink(Path::join(info, name).c_str());
    }
    return kept;
}

bool Trasher::settlePutBack(const std::vector<RemovedItem>& items) const {
    bool allBack = true;
    for (const RemovedItem& item : items) {
        if (!isBackInPlace(item)) {
            allBack = false;
            continue;
        }
        const std::string trashPath = item.trashPath.path(), info = FreedesktopTrash::infoPathFor(trashPath);
        struct stat status;
        if (!info.empty() && isGone(trashPath) && lstat(info.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
            isOwnTrash(Path::parent(trashPath)) &&
            namesPlace(FreedesktopTrash::recordedOriginal(trashPath), item.originalPath))
            unlink(info.c_str());
    }
    return allBack;
}

bool Trasher::isInTrash(const RemovedItem& item) {
    return FreedesktopTrash::holds(item.trashPath.path(), item.originalPath.path());
}

bool Trasher::isBackInPlace(const RemovedItem& item) {
    const auto atPlace = FolderDescent::identify(item.originalPath.path());
    return item.identity && atPlace && atPlace->item == *item.identity;
}

bool Trasher::isStillInTrash(const RemovedItem& item) {
    if (isInTrash(item))
        return true;
    if (!item.identity || FreedesktopTrash::infoPathFor(item.trashPath.path()).empty())
        return false;
    const auto found = FolderDescent::identify(item.trashPath.path());
    return found && found->item == *item.identity;
}

std::string Trasher::quote(std::string_view text) { return Shell::quote(text); }

std::string Trasher::homeTrash() const { return Path::parent(trashFolder.path()); }

bool Trasher::isOwnTrash(const std::string& files) const {
    // A trash folder where it really is, itself as it is: a link in its place is no trash.
    const auto whereItIs = [](const std::string& folder) {
        const std::optional<std::string> above = Fs::realPath(Path::parent(folder));
        return above ? Path::join(*above, Path::lastComponent(folder)) : folder;
    };
    return Path::lastComponent(files) == "files" &&
           FreedesktopTrash::isOwnTrashFiles(Path::join(whereItIs(Path::parent(files)), "files"),
                                             whereItIs(homeTrash()), geteuid());
}

bool Trasher::isOwnTrash(const std::string& files, OwnTrashes* known) const {
    if (!known)
        return isOwnTrash(files);
    auto found = known->find(files);
    if (found == known->end())
        found = known->emplace(files, isOwnTrash(files)).first;
    return found->second;
}

namespace {
TrasherInternals::StepWatch& stepWatch() {
    static TrasherInternals::StepWatch watch;
    return watch;
}
} // namespace

void TrasherInternals::watchSteps(StepWatch watch) { stepWatch() = std::move(watch); }

void TrasherInternals::note(Step step, const std::string& path) {
    if (stepWatch())
        stepWatch()(step, path);
}

bool TrasherInternals::isPermissionError(const std::error_code& error) {
    if (error.category() != std::generic_category() && error.category() != std::system_category())
        return false;
    return error.value() == EACCES || error.value() == EPERM;
}

Url TrasherInternals::uniqueTrashURL(const Trasher& trasher, const Url& item) {
    FreedesktopTrash::Directory trash{Path::parent(trasher.trashFolder.path()), {}};
    return trasher.trashFolder.appending(FreedesktopTrash::freeName(trash, item.lastPathComponent()));
}

} // namespace dovrane
