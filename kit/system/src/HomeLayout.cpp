#include "DovraneKit/system/HomeLayout.h"

#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/FileSystem.h"

#include <array>
#include <cstdlib>
#include <set>

namespace dovrane {

namespace {

constexpr std::string_view cachesFolder = "Library/Caches";

struct PersonalFolder {
    std::string_view relative; // the macOS folder
    std::string_view key;      // its line in user-dirs.dirs
    std::string_view fallback; // the Linux folder when no line names one
};

constexpr std::array<PersonalFolder, 6> personalFolders = {{
    {"Documents", "XDG_DOCUMENTS_DIR", "Documents"},
    {"Desktop", "XDG_DESKTOP_DIR", "Desktop"},
    {"Downloads", "XDG_DOWNLOAD_DIR", "Downloads"},
    {"Pictures", "XDG_PICTURES_DIR", "Pictures"},
    {"Music", "XDG_MUSIC_DIR", "Music"},
    {"Movies", "XDG_VIDEOS_DIR", "Videos"},
}};

// Package caches kept below the cache home, by their macOS path and their Linux name.
constexpr std::array<std::pair<std::string_view, std::string_view>, 3> packageCaches = {{
    {"Library/Caches/pip", "pip"},
    {"Library/Caches/Yarn", "yarn"},
    {"Library/Caches/Homebrew", "Homebrew"},
}};

constexpr std::string_view pnpmStore = "Library/pnpm/store";
constexpr std::string_view dockerImage = "Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw";
constexpr std::string_view linuxDockerImage = ".docker/desktop/vms/0/data/Docker.raw";

bool isStrictlyInside(const std::string& path, const std::string& folder) {
    if (folder == "/")
        return path != "/";
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

bool isSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

bool isKeyCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The value of one KEY="value" line, or nothing when the line breaks the format anywhere.
std::optional<std::pair<std::string, std::string>> parseLine(std::string_view line, const std::string& home) {
    std::size_t i = 0;
    while (i < line.size() && isSpaceOrTab(line[i]))
        ++i;
    const std::size_t keyStart = i;
    while (i < line.size() && isKeyCharacter(line[i]))
        ++i;
    if (i == keyStart || (line[keyStart] >= '0' && line[keyStart] <= '9'))
        return std::nullopt;
    std::string key(line.substr(keyStart, i - keyStart));
    if (line.substr(i, 2) != "=\"")
        return std::nullopt;
    i += 2;

    std::string value;
    constexpr std::string_view homeVariable = "$HOME";
    if (line.substr(i, homeVariable.size()) == homeVariable) {
        i += homeVariable.size();
        if (i < line.size() && line[i] != '/' && line[i] != '"')
            return std::nullopt; // "$HOMEWORK" is another variable
        value = home;
    } else if (i >= line.size() || line[i] != '/') {
        return std::nullopt;
    }

    bool closed = false;
    for (; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            closed = true;
            ++i;
            break;
        }
        if (c == '\\') {
            if (i + 1 >= line.size())
                return std::nullopt;
            const char escaped = line[++i];
            if (escaped != '"' && escaped != '\\' && escaped != '$')
                return std::nullopt;
            value += escaped;
            continue;
        }
        // "$…" and "`…`" would be expansions in a shell; control characters name no folder anyone made.
        if (c == '$' || c == '`' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return std::nullopt;
        value += c;
    }
    if (!closed)
        return std::nullopt;
    for (; i < line.size(); ++i)
        if (!isSpaceOrTab(line[i]))
            return std::nullopt;
    return std::make_pair(std::move(key), std::move(value));
}

// A real path spelled below `home` (as the caller gives it) when it lies in `canonicalHome`.
std::string belowHome(const std::string& real, const std::string& home, const std::string& canonicalHome) {
    if (auto inHome = Path::rebased(real, canonicalHome, home))
        return std::move(*inHome);
    return real;
}

// An XDG variable counts only when absolute; otherwise the folder below the home folder.
std::string xdgFolder(const std::optional<std::string>& value, const std::string& home, std::string_view fallback) {
    if (value && value->starts_with('/'))
        return *value;
    return Path::join(home, fallback);
}

// Decides which Linux candidates may stand for a macOS folder, and where they are read.
class Candidates {
public:
    explicit Candidates(const Url& home)
        : home_(home.path()), canonicalHome_(DeletionGuard::canonical(home_)), fixed_(DeletionGuard::fixedTable(home)) {
    }

    // The folder to read for `spelled`, or nothing when it may not stand for a macOS folder:
    // the home folder or a folder holding it, a folder outside the home folder (unless
    // `mayLeaveHome`), one in `taken`, or one the guard protects (except the candidate's own
    // default, which the guard protects because it is that folder). Links are followed, so
    // what is judged is where the folder really is.
    std::optional<std::string> accept(const std::string& spelled, bool mayLeaveHome,
                                      const std::set<std::string>& taken = {},
                                      std::optional<std::string_view> defaultRelative = std::nullopt) const {
        const std::string real = DeletionGuard::canonical(spelled);
        if (real == canonicalHome_ || isStrictlyInside(canonicalHome_, real))
            return std::nullopt;
        const bool inside = isStrictlyInside(real, canonicalHome_);
        if (!inside && !mayLeaveHome)
            return std::nullopt;
        if (taken.contains(real))
            return std::nullopt;
        const bool isOwnDefault =
            defaultRelative && real == DeletionGuard::canonical(Path::join(canonicalHome_, *defaultRelative));
        if (!isOwnDefault && !fixed_.check(Url::fromPath(real)).isAllowed())
            return std::nullopt;
        // Read below the home folder as the caller spells it, so every item of the scan shares one prefix.
        return belowHome(real, home_, canonicalHome_);
    }

    std::string canonical(const std::string& path) const { return DeletionGuard::canonical(path); }

private:
    std::string home_;
    std::string canonicalHome_;
    DeletionGuard fixed_;
};

} // namespace

HomeLayout::Environment HomeLayout::Environment::current() {
    auto read = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    return {read("XDG_CACHE_HOME"), read("XDG_CONFIG_HOME"), read("XDG_DATA_HOME")};
}

bool HomeLayout::keepsMacFolders(const Url& home) { return Fs::isDirectory(Path::join(home.path(), "Library")); }

HomeLayout::HomeLayout(Url home, const Environment& environment)
    : home_(std::move(home)), canonicalHome_(DeletionGuard::canonical(home_.path())) {
    const std::string homePath = home_.path();
    const Candidates candidates(home_);
    // With `named`, the Linux folder is read even where the macOS one exists too.
    auto settle = [&](std::string_view relative, const std::optional<std::string>& linux, bool named = false) {
        const std::string macOS = Path::join(homePath, relative);
        const bool useLinux = (named || !Fs::exists(macOS)) && linux && Fs::exists(*linux);
        const Url spelled = Url::fromPath(useLinux ? *linux : macOS);
        places_.emplace(std::string(relative), Place{spelled, readAt(spelled)});
        return useLinux;
    };

    std::optional<std::string> cacheHome;
    if (environment.cacheHome && environment.cacheHome->starts_with('/'))
        cacheHome = candidates.accept(*environment.cacheHome, true, {}, ".cache");
    if (!cacheHome)
        cacheHome = candidates.accept(Path::join(homePath, ".cache"), true, {}, ".cache");
    settle(cachesFolder, cacheHome);
    for (const auto& [relative, name] : packageCaches)
        settle(relative, cacheHome ? candidates.accept(Path::join(*cacheHome, name), true) : std::nullopt);

    const std::string dataHome = xdgFolder(environment.dataHome, homePath, ".local/share");
    settle(pnpmStore, candidates.accept(Path::join(dataHome, "pnpm/store"), true));
    settle(dockerImage, candidates.accept(Path::join(homePath, linuxDockerImage), false));

    const std::string configHome = xdgFolder(environment.configHome, homePath, ".config");
    const auto userDirs = parseUserDirs(
        Fs::readFile(Path::join(configHome, "user-dirs.dirs"), 1 << 16).value_or(std::string()), homePath);

    // A folder already read as one personal folder is not read again as another: an existing
    // macOS folder is never read as another one's.
    std::set<std::string> taken;
    for (const PersonalFolder& folder : personalFolders)
        if (const std::string macOS = Path::join(homePath, folder.relative); Fs::exists(macOS))
            taken.insert(candidates.canonical(macOS));
    for (const PersonalFolder& folder : personalFolders) {
        const std::string macOS = Path::join(homePath, folder.relative);
        std::optional<std::string> linux;
        if (auto line = userDirs.find(std::string(folder.key)); line != userDirs.end()) {
            std::set<std::string> others = taken;
            others.erase(candidates.canonical(macOS));
            linux = candidates.accept(line->second, false, others, folder.fallback);
            // The folder the desktop names is this folder, even beside a stray one of the macOS
            // name (~/Téléchargements, not an old ~/Downloads).
            if (linux && Fs::exists(*linux)) {
                settle(folder.relative, linux, true);
                taken.insert(candidates.canonical(*linux));
                continue;
            }
        }
        if (!linux)
            linux = candidates.accept(Path::join(homePath, folder.fallback), false, taken, folder.fallback);
        if (settle(folder.relative, linux))
            taken.insert(candidates.canonical(*linux));
    }
}

Url HomeLayout::folder(std::string_view relative) const {
    if (auto found = places_.find(relative); found != places_.end())
        return found->second.real;
    return inPlace(relative);
}

Url HomeLayout::inPlace(std::string_view relative) const { return readAt(home_.appending(relative)); }

Url HomeLayout::spelledFolder(std::string_view relative) const {
    if (auto found = places_.find(relative); found != places_.end())
        return found->second.spelled;
    return home_.appending(relative);
}

Url HomeLayout::readAt(const Url& spelled) const {
    const std::string real = DeletionGuard::canonical(spelled.path());
    if (isStrictlyInside(canonicalHome_, real))
        return spelled;
    return Url::fromPath(belowHome(real, home_.path(), canonicalHome_)); // resolved(spelled)
}

Url HomeLayout::resolved(const Url& url) const {
    return Url::fromPath(belowHome(DeletionGuard::canonical(url.path()), home_.path(), canonicalHome_));
}

std::vector<Url> HomeLayout::protectedFolders() const {
    std::vector<Url> folders;
    for (std::string_view relative : {std::string_view("Documents"), std::string_view("Desktop"),
                                      std::string_view("Downloads"), std::string_view("Pictures"), cachesFolder})
        folders.push_back(folder(relative));
    return folders;
}

std::map<std::string, std::string> HomeLayout::parseUserDirs(std::string_view text, const std::string& home) {
    std::map<std::string, std::string> values;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;

        std::size_t first = 0;
        while (first < line.size() && isSpaceOrTab(line[first]))
            ++first;
        if (first == line.size() || line[first] == '#')
            continue;
        if (auto entry = parseLine(line, home))
            values.insert_or_assign(std::move(entry->first), std::move(entry->second));
    }
    return values;
}

} // namespace dovrane
