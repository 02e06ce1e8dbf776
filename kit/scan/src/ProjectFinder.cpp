#include "DovraneKit/scan/ProjectFinder.h"

#include "DovraneKit/core/Concurrently.h"
#include "DovraneKit/core/Language.h"
#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/SizeCounter.h"
#include "system/GitIndex.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <iterator>
#include <memory>
#include <unordered_set>

namespace dovrane {

const std::vector<ProjectFinder::Artifact> ProjectFinder::artifacts = {
    {"node_modules", {"package.json"}, "npm install"},
    {".next", {"package.json"}, "next build"},
    {".venv", {"pyproject.toml", "requirements.txt", "setup.py", "Pipfile"}, "pip install"},
    {"venv", {"pyproject.toml", "requirements.txt", "setup.py", "Pipfile"}, "pip install"},
    {"target", {"Cargo.toml"}, "cargo build"},
    {"build", {"package.json", "build.gradle", "build.gradle.kts", "CMakeLists.txt"}, ""},
};

const std::set<std::string> ProjectFinder::skipped = {"node_modules", ".git",   ".venv",   "venv",   "target",
                                                      ".next",        "build",  "Library", ".Trash", "DerivedData",
                                                      "Pods",         ".build", ".gradle", ".cargo"};

const std::set<std::string> ProjectFinder::bundleExtensions = {"app", "photoslibrary", "xcarchive", "bundle",
                                                               "framework"};

namespace {

// The part of `path` below `folder` ("a/b"), or nothing when it does not lie below it.
std::optional<std::string> below(const std::string& path, const std::string& folder) {
    if (folder == "/")
        return path.size() > 1 && path[0] == '/' ? std::optional(path.substr(1)) : std::nullopt;
    if (path.size() > folder.size() + 1 && path.starts_with(folder) && path[folder.size()] == '/')
        return path.substr(folder.size() + 1);
    return std::nullopt;
}

// Drops every item that lies inside another one (a root inside an outer root's build folder
// lists what that folder already counts), keeping the rest in their order.
void dropNested(std::vector<CleanupItem>& items, const std::vector<std::string>& canonical) {
    const std::unordered_set<std::string> all(canonical.begin(), canonical.end());
    std::unordered_set<std::string> seen;
    std::vector<CleanupItem> kept;
    for (std::size_t i = 0; i < items.size(); ++i) {
        bool inside = !seen.insert(canonical[i]).second;
        for (std::string above = Path::parent(canonical[i]); !inside && above.size() > 1; above = Path::parent(above))
            inside = all.contains(above);
        if (!inside)
            kept.push_back(std::move(items[i]));
    }
    items = std::move(kept);
}

// What git tracks at the answer's `path`-th path.
ProjectFinder::Tracking trackingIn(const GitIndex::Answer& answer, std::size_t path) {
    switch (answer.state) {
    case GitIndex::State::outside:
        return ProjectFinder::Tracking::untracked;
    case GitIndex::State::read:
        if (path >= answer.tracked.size())
            break;
        return answer.tracked[path] ? ProjectFinder::Tracking::tracked : ProjectFinder::Tracking::untracked;
    case GitIndex::State::noLibrary:
        return ProjectFinder::Tracking::noLibrary;
    case GitIndex::State::unreadable:
        break;
    }
    return ProjectFinder::Tracking::unreadable;
}

// A file git tracks comes back with no build: the folder is not the tool's alone.
void noteTracking(CleanupItem& item, ProjectFinder::Tracking tracked) {
    if (const std::optional<std::string> sentence = ProjectFinder::trackingSentence(tracked)) {
        item.reason = tracked == ProjectFinder::Tracking::tracked ? *sentence : item.reason + " " + *sentence;
        item.safety = Safety::review;
    }
}

} // namespace

// One walk's state: the folders it passes over (paths as it spells them), its finds, and for
// each find the question its folder asked of git with the find's place among the question's
// paths. What git tracks is answered beside the walk and noted when the walks are done.
struct ProjectFinder::Walk {
    const std::set<std::string>* passedOver;
    GitIndex* git;
    std::stop_token stop;
    std::vector<CleanupItem> items = {};
    std::vector<std::pair<std::size_t, std::size_t>> asked = {};
};

std::string ProjectFinder::defaultGitLibrary() { return GitIndex::defaultLibrary(); }

ProjectFinder::Tracking ProjectFinder::tracking(const Url& artifact, const std::string& gitLibrary,
                                                std::chrono::milliseconds bound) {
    // A link is asked about where it leads, as a folder of its own.
    const std::string path =
        Fs::isSymlink(artifact.path()) ? DeletionGuard::canonical(artifact.path()) : artifact.path();
    return trackingIn(GitIndex::of(Path::parent(path), {Path::lastComponent(path)}, gitLibrary, bound), 0);
}

std::optional<std::string> ProjectFinder::trackingSentence(Tracking tracking) {
    switch (tracking) {
    case Tracking::untracked:
        return std::nullopt;
    case Tracking::tracked:
        return L("Git tracks files in this folder, and no build brings them back. Moving it takes them out of the "
                 "project.");
    case Tracking::noLibrary:
        return L("Whether git tracks files in it is unknown: libgit2, which reads git repositories, is not "
                 "installed.");
    case Tracking::unreadable:
        break;
    }
    return L("Whether git tracks files in it is unknown: its git repository could not be read.");
}

bool ProjectFinder::namesRoot(const std::string& folder) {
    return folder.starts_with('/') && folder.find('\0') == std::string::npos;
}

std::vector<Url> ProjectFinder::rootsFrom(const std::vector<std::string>& folders) {
    std::vector<Url> result;
    for (const std::string& folder : folders)
        if (namesRoot(folder))
            result.push_back(Url::fromPath(folder));
    return result;
}

std::vector<CleanupItem> ProjectFinder::find(std::stop_token stop) const {
    // Each root by its real place, a root met before in another spelling left out.
    std::vector<const Url*> walked;
    std::vector<std::string> real;
    for (const Url& root : roots) {
        std::string canonical = DeletionGuard::canonical(root.path());
        if (std::find(real.begin(), real.end(), canonical) == real.end()) {
            walked.push_back(&root);
            real.push_back(std::move(canonical));
        }
    }

    GitIndex git(gitLibrary, gitBound);
    std::vector<CleanupItem> items;
    std::vector<std::pair<std::size_t, std::size_t>> asked;
    std::vector<std::string> canonicalItems; // each item's real place, for dropNested
    for (std::size_t r = 0; r < walked.size(); ++r) {
        const std::string& rootPath = walked[r]->path();
        // The roots inside this one are theirs to walk, spelled as this walk meets them.
        std::set<std::string> passedOver;
        for (const std::string& other : real)
            if (auto inside = below(other, real[r]))
                passedOver.insert(Path::join(rootPath, *inside));

        // The root's own folders are walked side by side, their finds kept in walking order.
        const std::size_t first = items.size();
        std::vector<Url> subfolders;
        std::vector<Walk> found(1, Walk{&passedOver, &git, stop});
        walk(*walked[r], 0, found[0], &subfolders);
        found.resize(1 + subfolders.size(), Walk{&passedOver, &git, stop});
        std::atomic<std::size_t> next{0};
        const int threads = int(std::min<std::size_t>(subfolders.size(), 8));
        concurrently(threads, [&](int) {
            for (std::size_t i = next++; i < subfolders.size(); i = next++) {
                try {
                    walk(subfolders[i], 1, found[1 + i]);
                } catch (...) {
                    // Out of memory: the folder is left out like an unreadable one.
                }
            }
        });
        for (Walk& each : found) {
            // A walk cut short by a failure keeps only the finds whose question was asked.
            each.items.resize(each.asked.size());
            std::move(each.items.begin(), each.items.end(), std::back_inserter(items));
            asked.insert(asked.end(), each.asked.begin(), each.asked.end());
        }
        for (std::size_t i = first; i < items.size(); ++i)
            canonicalItems.push_back(Path::join(real[r], below(items[i].url.path(), rootPath).value_or("")));
    }
    const std::vector<GitIndex::Answer> answers = git.answers(stop);
    for (std::size_t i = 0; i < items.size(); ++i)
        noteTracking(items[i], trackingIn(answers[asked[i].first], asked[i].second));
    dropNested(items, canonicalItems);
    return items;
}

void ProjectFinder::walk(const Url& folder, int depth, Walk& into, std::vector<Url>* subfolders) const {
    if (depth > maxDepth || into.stop.stop_requested())
        return;
    const std::vector<std::string> names = Fs::list(folder.path());
    if (names.empty())
        return;
    const std::set<std::string> present(names.begin(), names.end());

    // Every row of one folder dates the same project, once, when a row first needs it; its finds
    // ask git one question together.
    std::optional<Dating> projectDate;
    std::vector<std::string> found;
    auto dateProject = [&] {
        if (!projectDate) {
            std::set<std::string> ignoring;
            for (const std::string& name : names)
                if (skipped.contains(name))
                    ignoring.insert(name);
            projectDate = lastChange(folder, ignoring);
        }
        return *projectDate;
    };

    for (const Artifact& artifact : artifacts) {
        if (!present.contains(artifact.folder) ||
            std::none_of(artifact.markers.begin(), artifact.markers.end(),
                         [&](const std::string& marker) { return present.contains(marker); }))
            continue;
        const Url candidate = folder.appending(artifact.folder);
        if (Fs::isSymlink(candidate.path()) || Fs::isMountPoint(candidate.path()))
            continue;

        const Dating dating = dateProject();
        const double days = ageDays(dating, now);
        if (days < double(minimumAgeDays))
            continue;

        const Measurement measured = SizeCounter::measure(candidate, into.stop);
        if (measured.size < 1)
            continue;

        const std::string project = folder.lastPathComponent();
        const std::string name = project + "/" + artifact.folder;
        const std::int64_t files = std::max<std::int64_t>(1, measured.files);
        const std::string source = "projects." + artifact.folder;
        std::string reason;
        Safety safety = Safety::safe;
        if (dating.gap != Dating::Gap::none) {
            const std::string unknown =
                dating.gap == Dating::Gap::tooMany
                    ? Lf("When {1} was last changed is unknown: it holds too many files to look at them all.",
                         {project})
                    : Lf("When {1} was last changed is unknown: some of its folders cannot be read.", {project});
            const std::string back = artifact.tool.empty()
                                         ? L("The next build brings this folder back.")
                                         : Lf("Running {1} brings this folder back.", {artifact.tool});
            reason = unknown + " " + back;
            safety = Safety::review;
        } else {
            const auto age = static_cast<std::int64_t>(days);
            reason = artifact.tool.empty()
                         ? Ln("{1} was last changed {2} days ago. The next build brings this folder back.", age,
                              {project, countText(age)})
                         : Ln("{1} was last changed {2} days ago. Running {3} brings this folder back.", age,
                              {project, countText(age), artifact.tool});
        }

        into.items.emplace_back(candidate, name, measured.size, files,
                                dating.gap == Dating::Gap::none ? dating.newest : std::nullopt, std::move(reason),
                                source, safety, CleanupAction::trash);
        found.push_back(artifact.folder);
    }
    if (!found.empty()) {
        const std::size_t question = into.git->ask(folder.path(), found);
        for (std::size_t path = 0; path < found.size(); ++path)
            into.asked.emplace_back(question, path);
    }

    for (const std::string& name : names) {
        if (name.starts_with(".") || skipped.contains(name))
            continue;
        const std::string path = Path::join(folder.path(), name);
        if (into.passedOver->contains(path))
            continue;
        // Another disk or share mounted here is not searched.
        if (!Fs::isOwnFolder(path))
            continue;
        if (const std::string extension = Path::extension(name);
            !extension.empty() && bundleExtensions.contains(extension))
            continue;
        if (subfolders)
            subfolders->push_back(folder.appending(name));
        else
            walk(folder.appending(name), depth + 1, into);
    }
}

namespace {

struct Listed {
    std::string name;
    bool dated = false; // its status could be read
    struct stat status;
};

// A folder's entries in listing order with their status, read through one descriptor that is
// closed again before anything below is opened, so depth costs no descriptors. The folder is
// opened to look (its access time stays); the root may be a link to the real folder, nothing
// below it is followed. `unseen` tells whether entries went unlooked at for want of rights or
// by a read error (a folder gone, or swapped for a link, since its parent was listed hid none).
std::optional<std::vector<Listed>> listed(const std::string& folder, bool isRoot, bool& unseen) {
    const int fd =
        Fs::openToLook(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (isRoot ? 0 : O_NOFOLLOW));
    unseen = fd < 0 && (errno == EACCES || errno == EPERM);
    if (fd < 0)
        return std::nullopt;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(fdopendir(fd), closedir);
    if (!dir) {
        close(fd);
        return std::nullopt;
    }
    std::vector<Listed> entries;
    errno = 0;
    while (dirent* entry = readdir(dir.get())) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        Listed& each = entries.emplace_back();
        each.name = name;
        each.dated = fstatat(fd, entry->d_name, &each.status, AT_SYMLINK_NOFOLLOW) == 0;
        errno = 0;
    }
    unseen = errno != 0;
    return entries;
}

} // namespace

double ProjectFinder::ageDays(const Dating& dating, Date now) {
    return dating.newest ? std::trunc(now.secondsSince(*dating.newest) / 86400.0) : 0.0;
}

ProjectFinder::Dating ProjectFinder::lastChange(const Url& of, const std::set<std::string>& ignoring) {
    Dating dating;
    const std::string path = of.path();
    if (path.empty() || path.find('\0') != std::string::npos)
        return dating;
    struct stat root;
    // A root that is not a folder has nothing below; the folder itself is not dated.
    if (stat(path.c_str(), &root) != 0 || !S_ISDIR(root.st_mode))
        return dating;

    // Depth first in listing order, each folder's entries before the next folder's (a folder is
    // entered where it is met); no other file system mounted inside is entered.
    struct Level {
        std::string folder;
        std::vector<Listed> entries;
        std::size_t next = 0;
    };
    std::vector<Level> levels;
    bool unseen = false;
    auto enter = [&](std::string folder, bool isRoot) {
        if (auto entries = listed(folder, isRoot, unseen))
            levels.push_back({std::move(folder), std::move(*entries)});
        if (unseen)
            dating.gap = Dating::Gap::unreadable;
    };
    enter(path, true);
    int examined = 0;
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            levels.pop_back();
            continue;
        }
        const Listed& entry = level.entries[level.next++];
        if (++examined > datingLimit) {
            dating.gap = Dating::Gap::tooMany;
            break;
        }
        if (skipped.contains(entry.name) || ignoring.contains(entry.name) || entry.name == ".DS_Store" || !entry.dated)
            continue;
        const Date modified =
            Date::fromUnix(double(entry.status.st_mtim.tv_sec) + double(entry.status.st_mtim.tv_nsec) / 1e9);
        if (!dating.newest || modified > *dating.newest)
            dating.newest = modified;
        if (S_ISDIR(entry.status.st_mode) && entry.status.st_dev == root.st_dev)
            enter(Path::join(level.folder, entry.name), false); // `level` may move
    }
    return dating;
}

} // namespace dovrane
