#include "DovraneKit/system/DeletionGuard.h"

#include "DovraneKit/core/TextPieces.h"
#include "DovraneKit/system/FileSystem.h"
#include "system/Accounts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <unordered_map>

namespace dovrane {

namespace {

using Match = DeletionGuard::Rule::Match;

// Moves the longest prefix of `pending` that exists below the real folder `base` into it,
// resolved; what is left of `pending` does not exist (or cannot be resolved).
void settle(std::string& base, std::vector<std::string_view>& pending) {
    for (std::size_t k = pending.size(); k > 0; --k) {
        std::string candidate = base;
        for (std::size_t i = 0; i < k; ++i)
            candidate = Path::join(candidate, pending[i]);
        if (auto resolved = Fs::realPath(candidate)) {
            base = std::move(*resolved);
            pending.erase(pending.begin(), pending.begin() + std::ptrdiff_t(k));
            return;
        }
    }
}

bool isStrictlyInside(const std::string& path, const std::string& folder) {
    if (path == folder)
        return false;
    if (folder == "/")
        return true;
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

bool isAtOrInside(const std::string& path, const std::string& folder) {
    return path == folder || isStrictlyInside(path, folder);
}

// Whether `home` (canonical) is a folder of `user`. Root owns every system folder, so for root
// only the password database's home counts.
bool isOwnHome(const std::string& home, std::uint32_t user) {
    struct stat info;
    if (home == "/" || stat(home.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != user)
        return false;
    if (user != 0)
        return true;
    const auto root = accounts::of(0);
    return root && root->home.starts_with('/') && DeletionGuard::canonical(root->home) == home;
}

// Every home of the machine, canonical, each once: see DeletionGuard::otherHomes.
std::vector<std::string> machineHomes() {
    std::vector<std::string> spelled = accounts::homes();
    std::vector<std::string> parents = {"/home", "/var/home"};
    if (const char* more = std::getenv("DOVRANE_HOME_FOLDERS"))
        for (std::string_view folder : splitDroppingEmpty(more, ':'))
            parents.emplace_back(folder);
    for (const std::string& parent : parents)
        for (const std::string& name : Fs::list(parent))
            if (struct stat info; stat(Path::join(parent, name).c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                spelled.push_back(Path::join(parent, name));
    spelled.emplace_back("/root");
    std::vector<std::string> homes;
    for (const std::string& home : spelled) {
        if (!home.starts_with('/'))
            continue;
        std::string real = DeletionGuard::canonical(home);
        // "/" and the like stand for no home ("/nonexistent" stays out while it does not exist).
        if (real == "/" || (real != "/root" && !Fs::exists(real)))
            continue;
        if (std::find(homes.begin(), homes.end(), real) == homes.end())
            homes.push_back(std::move(real));
    }
    return homes;
}

bool isPhotoLibrary(std::string_view path) {
    return path.ends_with(".photoslibrary") || path.find(".photoslibrary/") != std::string_view::npos;
}

} // namespace

std::string DeletionGuard::canonical(std::string_view path) {
    if (auto nul = path.find('\0'); nul != std::string_view::npos)
        path = path.substr(0, nul);

    // `base` is always a real, existing folder (or file); `pending` the parts not resolved yet.
    // Resolving before each ".." makes ".." step out of a link's target, not out of the link.
    std::string base = "/";
    std::vector<std::string_view> pending;
    for (std::string_view part : splitDroppingEmpty(path, '/')) {
        if (part == ".")
            continue;
        if (part == "..") {
            settle(base, pending);
            if (!pending.empty())
                pending.pop_back();
            else
                base = Path::parent(base);
            continue;
        }
        pending.push_back(part);
    }
    settle(base, pending);
    for (std::string_view part : pending)
        base = Path::join(base, part);
    return base;
}

DeletionGuard::DeletionGuard(const HomeLayout& layout, std::vector<Url> sandboxRoots)
    : DeletionGuard(layout.home(), layout.protectedFolders(), sandboxRoots, geteuid(), Fs::dataHome()) {}

DeletionGuard::DeletionGuard(const Url& homeUrl, std::vector<Url> sandboxRoots)
    : DeletionGuard(HomeLayout(homeUrl), std::move(sandboxRoots)) {}

DeletionGuard DeletionGuard::fixedTable(const Url& homeUrl) {
    return DeletionGuard(homeUrl, {}, {}, geteuid(), Fs::dataHome());
}

std::optional<DeletionGuard> DeletionGuard::forUser(std::uint32_t user) {
    const auto account = accounts::of(user);
    if (!account || !account->home.starts_with('/'))
        return std::nullopt;
    // Nothing of the environment, which is the administrator's, not that user's: the XDG folders
    // are their defaults in that home.
    const Url homeUrl = Url::fromPath(account->home);
    const HomeLayout layout(homeUrl, HomeLayout::Environment{});
    return DeletionGuard(homeUrl, layout.protectedFolders(), {}, user, Path::join(account->home, ".local/share"));
}

DeletionGuard::DeletionGuard(const Url& homeUrl, const std::vector<Url>& layoutFolders,
                             const std::vector<Url>& sandboxRoots, std::uint32_t user_, const std::string& dataHome)
    : home(canonical(homeUrl.path())), homeAsGiven(homeUrl.path()), ownHome(isOwnHome(home, user_)), user(user_) {
    auto inHome = [this](std::string_view relative) { return Path::join(home, relative); };
    rules = {
        {"root", "/", Match::exact},
        {"system", "/System", Match::tree},
        {"usr", "/usr", Match::tree},
        {"bin", "/bin", Match::tree},
        {"sbin", "/sbin", Match::tree},
        {"private", "/private", Match::tree},
        {"dev", "/dev", Match::tree},
        {"cores", "/cores", Match::tree},
        {"volumes", "/Volumes", Match::exact},
        {"users", "/Users", Match::exact},
        {"applications", "/Applications", Match::exact},
        {"library", "/Library", Match::exact},
        {"library.apple", "/Library/Apple", Match::tree},
        {"library.keychains", "/Library/Keychains", Match::tree},
        {"home", home, Match::exact},
        {"home.library", inHome("Library"), Match::exact},
        {"home.trash", inHome(".Trash"), Match::tree},
        {"icloud", inHome("Library/Mobile Documents"), Match::tree},
        {"cloudStorage", inHome("Library/CloudStorage"), Match::tree},
        {"keychains", inHome("Library/Keychains"), Match::tree},
        {"mail", inHome("Library/Mail"), Match::tree},
        {"messages", inHome("Library/Messages"), Match::tree},
        {"mail.container", inHome("Library/Containers/com.apple.mail"), Match::tree},
        {"home.folders", inHome("Documents"), Match::exact},
        {"home.folders", inHome("Desktop"), Match::exact},
        {"home.folders", inHome("Downloads"), Match::exact},
        {"home.folders", inHome("Pictures"), Match::exact},
        {"home.folders", inHome("Library/Caches"), Match::exact},
        {"home.folders", inHome("Library/Logs"), Match::exact},
        {"home.folders", inHome("Library/Application Support"), Match::exact},
        {"home.folders", inHome("Library/Containers"), Match::exact},
        {"home.folders", inHome("Library/Group Containers"), Match::exact},
        {"home.folders", inHome("Library/Preferences"), Match::exact},
    };
    // The layout's folders stand for the macOS ones just above and are protected the same way.
    for (const Url& folder : layoutFolders)
        rules.push_back({"home.folders", canonical(folder.path()), Match::exact});
    rules.insert(rules.end(), {

                                  // The Linux system folders and the home folder's own well-known places. "/dev" is
                                  // covered above already.
                                  {"etc", "/etc", Match::tree},
                                  {"boot", "/boot", Match::tree},
                                  {"proc", "/proc", Match::tree},
                                  {"sys", "/sys", Match::tree},
                                  {"run", "/run", Match::tree},
                                  {"lib", "/lib", Match::tree},
                                  {"lib32", "/lib32", Match::tree},
                                  {"lib64", "/lib64", Match::tree},
                                  {"libx32", "/libx32", Match::tree},
                                  {"snap", "/snap", Match::tree},
                                  {"var", "/var", Match::tree, "/var/tmp"},
                                  {"homes", "/home", Match::exact},
                                  {"root.home", "/root", Match::exact},
                                  {"media", "/media", Match::exact},
                                  {"mnt", "/mnt", Match::exact},
                                  {"opt", "/opt", Match::exact},
                                  {"srv", "/srv", Match::exact},
                                  {"home.ssh", inHome(".ssh"), Match::tree},
                                  {"home.gnupg", inHome(".gnupg"), Match::tree},
                                  {"home.keyrings", inHome(".local/share/keyrings"), Match::tree},
                                  {"home.trash", inHome(".local/share/Trash"), Match::tree},
                                  // Flatpak's own installation: Flatpak removes its apps.
                                  {"home.flatpak", inHome(".local/share/flatpak"), Match::tree},
                              });
    // The Trash that is actually used, when XDG_DATA_HOME points away from ~/.local/share.
    if (std::string trash = canonical(Path::join(dataHome, "Trash")); trash != inHome(".local/share/Trash"))
        rules.push_back({"home.trash", trash, Match::tree});
    rules.push_back({"home.config", inHome(".config"), Match::exact});
    rules.push_back({"home.local", inHome(".local"), Match::exact});
    rules.push_back({"home.local.share", inHome(".local/share"), Match::exact});
    rules.push_back({"home.cache", inHome(".cache"), Match::exact});

    allowedTrees.push_back(inHome("Library/Containers/com.apple.mail/Data/Library/Mail Downloads"));
    for (const Url& root : sandboxRoots)
        allowedTrees.push_back(canonical(root.path()));

    // The user's own homes: the one given, when it is theirs, and the password database's.
    std::vector<std::string> own;
    if (ownHome)
        own.push_back(home);
    if (const auto account = accounts::of(user); account && account->home.starts_with('/'))
        if (std::string real = canonical(account->home); real != "/")
            own.push_back(std::move(real));
    for (std::string& found : machineHomes()) {
        // A "home" that holds the user's own (a service's "/home") would swallow it.
        bool mine = false, holdsMine = false;
        for (const std::string& mineToo : own) {
            mine = mine || found == mineToo;
            holdsMine = holdsMine || isStrictlyInside(mineToo, found);
        }
        if (holdsMine)
            continue;
        if (!mine)
            otherHomes.push_back(found);
        everyHome.push_back(std::move(found));
    }
    // The home given keeps its keys whoever's it is.
    own.push_back(home);
    for (const std::string& mine : own)
        if (mine != "/" && std::find(everyHome.begin(), everyHome.end(), mine) == everyHome.end())
            everyHome.push_back(mine);
    for (const std::string& other : otherHomes)
        homeRules_.push_back({"other.home", other, Match::tree});
    for (const std::string& any : everyHome) {
        homeRules_.push_back({"home.ssh", Path::join(any, ".ssh"), Match::tree});
        homeRules_.push_back({"home.gnupg", Path::join(any, ".gnupg"), Match::tree});
        homeRules_.push_back({"home.keyrings", Path::join(any, ".local/share/keyrings"), Match::tree});
    }
}

DeletionGuard::Verdict DeletionGuard::check(const Url& url) const { return verdict(canonical(url.path())); }

DeletionGuard::Verdict DeletionGuard::checkHomes(const Url& url) const {
    return homesVerdict(canonical(url.path())).value_or(Verdict::allowed());
}

std::string DeletionGuard::inCanonicalHome(const std::string& path) const {
    if (homeAsGiven != home)
        if (auto rebased = Path::rebased(path, homeAsGiven, home))
            return std::move(*rebased);
    if (home == "/" || isAtOrInside(path, home))
        return path;
    // The home under another spelling: the folder above the path that is the home itself, where
    // a link above it leads ("/home/u" to "/var/home/u"). Only that one link is taken; what lies
    // below the home is gone down without links, as everywhere.
    for (std::size_t end = 0; end != std::string::npos;) {
        end = path.find('/', end + 1);
        const std::string above = path.substr(0, end);
        const std::string name = Path::lastComponent(above);
        if (name == "." || name == "..")
            break;
        if (canonical(above) == home)
            if (auto rebased = Path::rebased(path, above, home))
                return std::move(*rebased);
    }
    return path;
}

std::vector<DeletionGuard::Verdict> DeletionGuard::checkEach(const std::vector<Url>& urls) const {
    std::vector<Verdict> verdicts;
    verdicts.reserve(urls.size());
    // Each folder as spelled, canonical: items of several folders may come in any order.
    std::unordered_map<std::string, std::string> resolvedFolders;
    for (const Url& url : urls) {
        const std::string& path = url.path();
        const std::size_t slash = path.rfind('/');
        const std::string_view name =
            slash == std::string::npos ? std::string_view() : std::string_view(path).substr(slash + 1);
        // Anything but a plain last name below a folder takes the full way.
        if (slash == std::string::npos || slash == 0 || name.empty() || name == "." || name == ".." ||
            path.find('\0') != std::string::npos) {
            verdicts.push_back(check(url));
            continue;
        }
        auto [known, added] = resolvedFolders.try_emplace(path.substr(0, slash));
        if (added)
            known->second = canonical(known->first);
        const std::string& resolvedFolder = known->second;
        // The canonical folder joined with a last name that is no link is the canonical path; a
        // link, or a name that cannot be looked at, is resolved in full.
        std::string joined = Path::join(resolvedFolder, name);
        struct stat status;
        if (lstat(joined.c_str(), &status) != 0 || S_ISLNK(status.st_mode))
            joined = canonical(path);
        verdicts.push_back(verdict(joined));
    }
    return verdicts;
}

DeletionGuard::Verdict DeletionGuard::verdict(const std::string& p) const {
    if (isPhotoLibrary(p))
        return Verdict::blocked("photos");

    bool insideAllowed = false;
    for (const std::string& tree : allowedTrees)
        if (isStrictlyInside(p, tree)) {
            insideAllowed = true;
            break;
        }

    // The user's own home is theirs wherever the system keeps it: the tree rules above it do not
    // swallow it.
    const bool inOwnHome = ownHome && isAtOrInside(p, home);
    for (const Rule& rule : rules) {
        bool matches = false;
        if (rule.match == Match::exact)
            matches = p == rule.path;
        else if (!insideAllowed && !(inOwnHome && isStrictlyInside(home, rule.path)))
            matches =
                isAtOrInside(p, rule.path) && (rule.exceptInside.empty() || !isStrictlyInside(p, rule.exceptInside));
        if (matches)
            return Verdict::blocked(rule.id);
    }
    return homesVerdict(p).value_or(Verdict::allowed());
}

std::optional<DeletionGuard::Verdict> DeletionGuard::homesVerdict(const std::string& p) const {
    for (const Rule& rule : homeRules_)
        if (isAtOrInside(p, rule.path))
            return Verdict::blocked(rule.id);
    return std::nullopt;
}

} // namespace dovrane
