#include "DovraneKit/apps/Orphans.h"

#include "DovraneKit/core/Language.h"
#include "DovraneKit/core/NameOrder.h"
#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/HomeLayout.h"
#include "DovraneKit/system/SizeCounter.h"

#include "DovraneKit/core/TextPieces.h"
#include "apps/LibraryNames.h"
#include "core/Pattern.h"

#include <algorithm>
#include <memory>

namespace dovrane {

namespace {

// Suffixes that files add to an identifier, stripped in this order.
constexpr std::array<std::string_view, 3> suffixes = {".plist", ".savedState", ".binarycookies"};

// First words of the identifiers this finder believes (compared lowercased).
constexpr std::array<std::string_view, 14> firstWords = {"com", "org", "net", "io", "de", "app", "co",
                                                         "me",  "dev", "eu",  "uk", "fr", "ch",  "at"};

// "com.example.editor" gives "com.example"; a single word stays itself.
std::string vendor(std::string_view identifier) {
    auto parts = splitDroppingEmpty(identifier, '.');
    if (parts.size() < 2)
        return parts.empty() ? std::string() : std::string(parts.front());
    return std::string(parts[0]) + "." + std::string(parts[1]);
}

// Letters, digits, "-" and "_" in dot-separated words; the whole name must match. Byte mode:
// every character the pattern accepts is ASCII, so other bytes simply fail it.
bool looksLikeIdentifier(std::string_view name) {
    static const Pattern identifier(R"([A-Za-z0-9][A-Za-z0-9\-_]*(\.[A-Za-z0-9\-_]+)+)", Pattern::whole);
    return identifier.find(name).has_value();
}

} // namespace

OrphanFinder::OrphanFinder(const Url& home_, std::set<std::string> installed_,
                           std::function<bool(const std::string&)> isInstalled_, std::vector<Url> sandboxRoots_)
    : home(home_), isInstalled(std::move(isInstalled_)), sandboxRoots(std::move(sandboxRoots_)) {
    for (const std::string& identifier : installed_)
        installed.insert(lowercased(identifier));
}

std::optional<std::string> OrphanFinder::bundleID(const std::string& from, const std::string&) {
    std::string name = from;
    for (std::string_view suffix : suffixes)
        if (name.ends_with(suffix))
            name.erase(name.size() - suffix.size());
    auto parts = splitDroppingEmpty(name, '.');
    if (parts.size() < 3 || !looksLikeIdentifier(name))
        return std::nullopt;
    const std::string first = lowercased(parts.front());
    if (std::find(firstWords.begin(), firstWords.end(), first) == firstWords.end())
        return std::nullopt;
    return name;
}

bool OrphanFinder::isOrphan(const std::string& identifier) const {
    const std::string l = lowercased(identifier);
    if (l.starts_with("com.apple.") || l.starts_with("group.com.apple."))
        return false;
    for (std::string_view prefix : sharedPrefixes)
        if (l.starts_with(prefix))
            return false;
    if (installed.contains(l))
        return false;
    const std::string own = vendor(l);
    for (const std::string& i : installed)
        if (vendor(i) == own)
            return false;
    for (const std::string& i : installed)
        if (l.starts_with(i + ".") || i.starts_with(l + "."))
            return false;
    if (!isInstalled)
        return true;
    try {
        return !isInstalled(identifier);
    } catch (...) {
        return false; // unknown: better to miss an orphan than to offer an app's data
    }
}

std::vector<std::string> OrphanFinder::searchedFolders() const { return searchedFolders(HomeLayout(home)); }

std::vector<std::string> OrphanFinder::searchedFolders(const HomeLayout& layout) const {
    // Each where it really is, as the scan reads it: one linked to another disk is searched there,
    // so that what is found there moves through no link.
    auto at = [&](std::string_view relative) { return layout.inPlace(relative).path(); };
    std::vector<std::string> searched;
    for (std::string_view folder : folders)
        searched.push_back(at("Library/" + std::string(folder)));
    // The Linux counterparts; on a home laid out like a Mac's the cache home is Library/Caches.
    searched.push_back(at(".config"));
    searched.push_back(at(".local/share"));
    if (layout.spelledFolder("Library/Caches") != home.appending("Library/Caches"))
        searched.push_back(layout.folder("Library/Caches").path());
    searched.push_back(at(".local/state"));
    searched.push_back(at(".var/app"));
    return searched;
}

std::vector<Orphan> OrphanFinder::find() const {
    // One layout for the guard and the folders: making one resolves every folder it names.
    const HomeLayout layout(home);
    const DeletionGuard guard(layout, sandboxRoots);
    std::vector<Orphan> found;
    std::vector<Url> unmeasured;
    std::vector<std::size_t> unmeasuredIndices;
    for (const std::string& folder : searchedFolders(layout)) {
        for (const std::string& name : Fs::list(folder)) {
            auto identifier = bundleID(name, Path::lastComponent(folder));
            if (!identifier || !isOrphan(*identifier))
                continue;
            Url entry = Url::fromPath(Path::join(folder, name));
            // A disk or share mounted there is no app's leftover.
            if (!guard.check(entry).isAllowed() || Fs::isMountPoint(entry.path()))
                continue;
            std::int64_t size = 0;
            if (auto known = knownSizes.find(entry.path()); known != knownSizes.end()) {
                size = known->second;
            } else {
                unmeasured.push_back(entry);
                unmeasuredIndices.push_back(found.size());
            }
            std::string reason = Lf(
                "No installed app has the identifier {1}. Usually left behind when an app was deleted.", {*identifier});
            found.emplace_back(std::move(entry), std::move(*identifier), size, std::move(reason));
        }
    }
    const std::vector<Measurement> measured = SizeCounter::measureEach(unmeasured);
    for (std::size_t i = 0; i < measured.size(); ++i)
        found[unmeasuredIndices[i]].size = measured[i].size;
    // Largest first; equal sizes in one fixed order, whatever order the folders listed them in.
    std::sort(found.begin(), found.end(), [order = NameOrder()](const Orphan& a, const Orphan& b) {
        if (a.size != b.size)
            return a.size > b.size;
        return order.tieBreak(a.url.lastPathComponent(), a.url.path(), b.url.lastPathComponent(), b.url.path()) < 0;
    });
    return found;
}

} // namespace dovrane
