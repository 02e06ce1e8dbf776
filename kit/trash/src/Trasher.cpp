#include "DovraneKit/trash/Trasher.h"

#include "DovraneKit/core/Language.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/trash/FreedesktopTrash.h"

#include "DovraneKit/core/Saturating.h"
#include "trash/TrasherInternals.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <unordered_set>

namespace dovrane {

namespace {

// Gone for sure: "cannot look" (a folder without search rights) is not "gone".
bool isGone(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

// "-T": should a folder appear at the reserved name, mv must not move the item into it.
std::string moveCommand(const std::string& from, const std::string& to) {
    return "/bin/mv -n -T " + Shell::quote(from) + " " + Shell::quote(to);
}

} // namespace

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
            entries.push_back({candidate.url, candidate.size, candidate.files, candidate.needsAdmin});
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
        if (!inside)
            result.entries.push_back(std::move(entry));
    }
    return result;
}

Trasher::Outcome Trasher::execute(const TrashPlan& plan) const {
    Outcome outcome;
    for (const TrashPlan::Entry& entry : plan.entries) {
        if (!guardrail.check(entry.url).isAllowed()) {
            outcome.failed.push_back(TrashFailure::blocked(entry.url));
            continue;
        }
        // Moved into the Trash, another disk or share would be emptied with it.
        if (Fs::holdsMountPoint(entry.url.path())) {
            outcome.failed.push_back(TrashFailure::fileError(
                entry.url, L("A disk or share is mounted on this item or inside it, so it was left where it is.")));
            continue;
        }
        if (entry.needsAdmin) {
            moveAsAdmin(entry, outcome);
            continue;
        }
        auto moved = FreedesktopTrash::moveToTrash(entry.url.path(), homeTrash());
        if (moved)
            outcome.removed.push_back({entry.url, Url::fromPath(moved->trashPath()), entry.size, false});
        else if (TrasherInternals::isPermissionError(moved.error().code))
            moveAsAdmin(entry, outcome);
        else
            outcome.failed.push_back(TrashFailure::fileError(entry.url, moved.error().message));
    }
    return outcome;
}

void Trasher::moveAsAdmin(const TrashPlan::Entry& entry, Outcome& outcome) const {
    const std::string path = entry.url.path();
    // The info file is written as the user before the move, so the desktop's Trash knows the
    // item the moment it arrives; the administrator only renames within one volume.
    auto trash = FreedesktopTrash::trashFor(path, homeTrash());
    if (!trash) {
        outcome.failed.push_back(TrashFailure::fileError(entry.url, trash.error().message));
        return;
    }
    auto slot = FreedesktopTrash::reserve(*trash, path, Path::lastComponent(path));
    if (!slot) {
        outcome.failed.push_back(TrashFailure::fileError(entry.url, slot.error().message));
        return;
    }
    const std::string destination = slot->trashPath();
    // "mv -n" answers success when it skips, so only the disk tells whether the item moved.
    if (Shell::runAsAdmin(admin, moveCommand(path, destination)) && isGone(path) && Fs::exists(destination)) {
        outcome.removed.push_back({entry.url, Url::fromPath(destination), entry.size, true});
        return;
    }
    FreedesktopTrash::release(*slot);
    outcome.failed.push_back(TrashFailure::admin(entry.url));
}

Trasher::PutBackResult Trasher::putBack(const RemovedItem& item) const {
    const std::string trashPath = item.trashPath.path();
    const std::string originalPath = item.originalPath.path();
    if (!isInTrash(item)) {
        // Something else at the recorded place (a record not written by this system, or the name
        // taken again after the Trash was emptied) is not the item and stays where it is.
        if (Fs::exists(trashPath))
            return PutBackResult::failed(L("The record does not match what is in the Trash, so nothing was moved."));
        return PutBackResult::goneFromTrash();
    }
    if (Fs::exists(originalPath))
        return PutBackResult::originalTaken();

    if (item.needsAdmin) {
        if (!Shell::runAsAdmin(admin, moveCommand(trashPath, originalPath)) || !isGone(trashPath) ||
            !Fs::exists(originalPath))
            return PutBackResult::failed("admin");
        if (std::string info = FreedesktopTrash::infoPathFor(trashPath); !info.empty())
            unlink(info.c_str());
        return PutBackResult::restored();
    }

    errno = 0;
    if (!Fs::makeDirectories(Path::parent(originalPath)))
        return PutBackResult::failed(std::error_code(errno ? errno : ENOTDIR, std::generic_category()).message());
    if (auto failure = FreedesktopTrash::restore(trashPath, originalPath)) {
        // Something appeared at the original path after the look above; it stays untouched.
        if (failure->code == std::errc::file_exists)
            return PutBackResult::originalTaken();
        return PutBackResult::failed(failure->message);
    }
    return PutBackResult::restored();
}

bool Trasher::isInTrash(const RemovedItem& item) {
    return FreedesktopTrash::holds(item.trashPath.path(), item.originalPath.path());
}

std::string Trasher::quote(std::string_view text) { return Shell::quote(text); }

std::string Trasher::homeTrash() const { return Path::parent(trashFolder.path()); }

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
