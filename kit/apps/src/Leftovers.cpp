#include "DovraneKit/apps/Leftovers.h"

#include "DovraneKit/core/Language.h"
#include "DovraneKit/core/NameOrder.h"
#include "DovraneKit/formats/DesktopEntry.h"
#include "DovraneKit/formats/Plist.h"
#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/HomeLayout.h"
#include "DovraneKit/system/SizeCounter.h"

#include "apps/LibraryNames.h"
#include "core/Characters.h"

#include <algorithm>

namespace dovrane {

namespace {

// Folders where a match by the app's name counts; the name alone is too weak elsewhere.
constexpr std::array<std::string_view, 3> nameFolders = {"Application Support", "Caches", "Logs"};

// Where the folder stands in the rules: what a match by name or by menu entry means there.
struct Folder {
    std::string path;
    std::string_view name; // last component as the rules name it
    bool system = false;
    bool nameCounts = false;  // the app's name is evidence here
    bool menuEntries = false; // desktop entries that start the app's own file
};

struct Match {
    bool exact = false;
    std::string reason;
};

// The rules that tie one entry of a Library folder to the app; the first that fits decides.
class Rules {
public:
    Rules(const std::string& bundleID, const std::string& name, const std::optional<Url>& appPath,
          const std::optional<std::string>& teamID)
        : bundleID_(bundleID), id_(lowercased(bundleID)), nm_(lowercased(name)), nameCounts_(characterCount(nm_) > 3),
          app_(appPath) {
        if (teamID && !teamID->empty())
            team_ = lowercased(*teamID);
    }

    std::optional<Match> match(const Url& entry, const Folder& where) const {
        const std::string_view folder = where.name;
        const bool user = !where.system;
        const std::string n = lowercased(entry.lastPathComponent());
        const std::string s = Path::deletingExtension(n);

        // With an empty identifier every hidden name would begin with "" + ".", so the
        // identifier rules only apply to a real one.
        if (!id_.empty()) {
            const std::string dotted = id_ + ".";
            if (s == id_ || n == id_ || s.starts_with(dotted) || n.starts_with(dotted))
                return Match{true, Lf("Named after the app's identifier {1}.", {bundleID_})};
            if (user && folder == "Group Containers" && n.ends_with("." + id_))
                return Match{true, Lf("A shared container of {1}.", {bundleID_})};
        }
        if (nameCounts_ && (n == nm_ || s == nm_) &&
            (where.nameCounts || std::find(nameFolders.begin(), nameFolders.end(), folder) != nameFolders.end()))
            return Match{false, L("Has the app's name. Check that no other app uses it.")};
        if (team_ && user && folder == "Group Containers" && n.starts_with(*team_ + "."))
            return Match{false, L("Shared by apps of the same developer. Other apps of theirs may still need it.")};
        if (folder.starts_with("Launch") && app_ && LeftoverFinder::launchItem(entry, *app_))
            return Match{true, L("Starts a program inside the app.")};
        if (where.menuEntries && app_ && n.ends_with(".desktop") && DesktopEntry::starts(entry.path(), app_->path()))
            return Match{true, L("The app's menu entry.")};
        return std::nullopt;
    }

private:
    std::string bundleID_; // as passed, for the sentences
    std::string id_;
    std::string nm_;
    bool nameCounts_;
    std::optional<std::string> team_;
    std::optional<Url> app_;
};

// The Linux counterparts of the user's Library folders, after them. The cache home is the one
// the home layout reads; on a home laid out like a Mac's it is Library/Caches, already searched.
std::vector<Folder> linuxFolders(const HomeLayout& layout) {
    auto at = [&](std::string_view relative) { return layout.inPlace(relative).path(); };
    std::vector<Folder> folders = {
        {at(".config"), ".config", false, true, false},
        {at(".local/share"), ".local/share", false, true, false},
    };
    if (layout.spelledFolder("Library/Caches") != layout.home().appending("Library/Caches"))
        folders.push_back({layout.folder("Library/Caches").path(), ".cache", false, true, false});
    folders.push_back({at(".local/state"), ".local/state", false, true, false});
    folders.push_back({at(".var/app"), ".var/app", false, false, false});
    folders.push_back({at(".config/autostart"), "autostart", false, false, true});
    folders.push_back({at(".local/share/applications"), "applications", false, false, true});
    return folders;
}

} // namespace

std::vector<Leftover> LeftoverFinder::find(const std::string& bundleID, const std::string& name,
                                           const std::optional<Url>& appPath,
                                           const std::optional<std::string>& teamID) const {
    // Each folder of the home where it really is (one linked to another disk searched there), so
    // that what is found moves from where it was found, through no link. The guard stands on the
    // same layout: making one resolves every folder it names.
    const HomeLayout layout(home);
    const DeletionGuard guard(layout, sandboxRoots);
    const Rules rules(bundleID, name, appPath, teamID);
    std::vector<Folder> searched;
    for (std::string_view folder : userFolders)
        searched.push_back(
            {layout.inPlace("Library/" + std::string(folder)).path(), folder.substr(folder.rfind('/') + 1), false});
    for (std::string_view folder : systemFolders)
        searched.push_back({Path::join(systemLibrary.path(), folder), folder, true});
    for (Folder& folder : linuxFolders(layout))
        searched.push_back(std::move(folder));
    const std::string flatpakData = Path::join(layout.inPlace(".local/share").path(), "flatpak");

    std::vector<Leftover> found;
    for (const Folder& folder : searched) {
        for (const std::string& entryName : Fs::list(folder.path)) {
            Url entry = Url::fromPath(Path::join(folder.path, entryName));
            if (entry.path() == flatpakData)
                continue; // Flatpak's own installation, never one app's
            auto match = rules.match(entry, folder);
            // A disk or share mounted there is no app's leftover.
            if (!match || !guard.check(entry).isAllowed() || Fs::isMountPoint(entry.path()))
                continue;
            std::int64_t size = SizeCounter::measure(entry).size;
            found.emplace_back(std::move(entry), size, match->exact, folder.system, std::move(match->reason));
        }
    }
    // Largest first; equal sizes in one fixed order, whatever order the folders listed them in.
    std::sort(found.begin(), found.end(), [order = NameOrder()](const Leftover& a, const Leftover& b) {
        if (a.size != b.size)
            return a.size > b.size;
        return order.tieBreak(a.url.lastPathComponent(), a.url.path(), b.url.lastPathComponent(), b.url.path()) < 0;
    });
    return found;
}

bool LeftoverFinder::launchItem(const Url& plist, const Url& app) {
    if (!plist.isFile() || plist.pathExtension() != "plist")
        return false;
    auto dict = Plist::readDictionary(plist.path());
    if (!dict)
        return false;
    std::optional<std::string> program = Plist::string(*dict, "Program");
    if (!program) {
        auto arguments = dict->find("ProgramArguments");
        if (arguments == dict->end())
            return false;
        const PlistArray* list = arguments->second.array();
        if (!list || list->empty())
            return false;
        // Only a list of texts names a program; one stray value makes the whole list unusable.
        for (const PlistValue& argument : *list)
            if (!argument.string())
                return false;
        program = *list->front().string();
    }
    return program->starts_with(app.path() + "/");
}

} // namespace dovrane
