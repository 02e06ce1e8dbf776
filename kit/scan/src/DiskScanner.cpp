// The scan: every category collected at once, then excluded paths dropped, protected items
// made show-only, what the user may not simply move made review, and double counting
// removed. Where each category is collected (ScanCollectors, declared in ScanCollectors.h):
//
//   category       collector                  file
//   apps           apps()                     HomeCollectors.cpp
//   personal       personal()                 HomeCollectors.cpp
//   caches         caches()                   HomeCollectors.cpp
//   logs           children(Library/Logs)     HomeCollectors.cpp
//   trash          trash()                    HomeCollectors.cpp
//   installers     installers()               HomeCollectors.cpp
//   mailDownloads  children(Mail Downloads)   HomeCollectors.cpp
//   messages       single(Attachments)        DiskScanner.cpp
//   iosBackups     backups()                  HomeCollectors.cpp
//   snapshots      snapshots()                SystemCollectors.cpp
//   xcode          xcode()                    SystemCollectors.cpp
//   simulators     simulators()               SystemCollectors.cpp
//   docker         single(Docker.raw)         DiskScanner.cpp
//   packageCaches  packageCaches()            SystemCollectors.cpp
//   projects       projects()                 DiskScanner.cpp (ProjectFinder does the walk)
//   other          nothing: the scan computes it from the volume figures
//
// Each collector reads its folders where the scan's HomeLayout finds them: the macOS folder, or
// on a Linux desktop its equivalent (the cache home, the user directories, …).

#include "DovraneKit/scan/DiskScanner.h"

#include "DovraneKit/core/Concurrently.h"
#include "DovraneKit/core/Language.h"
#include "DovraneKit/core/Path.h"
#include "DovraneKit/scan/ProjectFinder.h"
#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/MoveRights.h"
#include "DovraneKit/system/SizeCounter.h"
#include "DovraneKit/system/VolumeInfo.h"
#include "DovraneKit/trash/FreedesktopTrash.h"

#include "scan/ScanCollectors.h"

#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace dovrane {

namespace {

// Finished categories travel from the collecting threads to the scanning thread.
class FinishedQueue {
public:
    void push(Category category) {
        {
            std::lock_guard lock(mutex_);
            finished_.push_back(std::move(category));
        }
        ready_.notify_one();
    }

    Category pop() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return !finished_.empty(); });
        Category category = std::move(finished_.front());
        finished_.pop_front();
        return category;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Category> finished_;
};

// A list that is made at the first call only, however many threads ask for it.
std::function<std::vector<InstalledApp>()> listedOnce(std::function<std::vector<InstalledApp>()> list) {
    if (!list)
        return list;
    struct Listed {
        std::once_flag once;
        std::vector<InstalledApp> apps;
    };
    auto listed = std::make_shared<Listed>();
    return [list = std::move(list), listed] {
        std::call_once(listed->once, [&] { listed->apps = list(); });
        return listed->apps;
    };
}

bool isExcluded(const std::string& path, const std::vector<std::string>& excluded) {
    for (const std::string& entry : excluded) {
        if (entry == "/" || path == entry)
            return true;
        if (path.size() > entry.size() && path.compare(0, entry.size(), entry) == 0 && path[entry.size()] == '/')
            return true;
    }
    return false;
}

} // namespace

// Their macOS and their Linux names ("yarn" in the cache home).
const std::set<std::string> DiskScanner::packageCacheNames = {"Homebrew", "Yarn", "yarn", "pip", "pnpm"};

DiskScanner::DiskScanner(Url home_, std::optional<std::vector<Url>> applicationFolders_, ScanSettings settings_,
                         std::shared_ptr<const CommandRunner> runner_, AppNameLookup appName_,
                         std::set<std::string> running_, Date now_)
    : home(std::move(home_)), settings(std::move(settings_)), runner(std::move(runner_)),
      appName(appName_ ? std::move(appName_) : noNames()), running(std::move(running_)), now(now_) {
    applicationFolders = applicationFolders_
                             ? std::move(*applicationFolders_)
                             : std::vector<Url>{Url::fromPath("/Applications"), home.appending("Applications")};
}

DiskScanner::AppNameLookup DiskScanner::noNames() {
    return [](const std::string&) -> std::optional<std::string> { return std::nullopt; };
}

std::optional<CleanupItem> ScanCollectors::measuredItem(const Url& url, std::string name, std::string reason,
                                                        std::string source, Safety safety, CleanupAction action,
                                                        std::stop_token stop) {
    // A mount point measures as nothing, so a disk or share mounted in the home is not offered.
    Measurement measured = SizeCounter::measure(url, stop);
    if (measured.size < 1 && measured.files < 1)
        return std::nullopt;
    return CleanupItem(url, std::move(name), measured.size, std::max<std::int64_t>(1, measured.files),
                       measured.lastUsed, std::move(reason), std::move(source), safety, action);
}

std::vector<CleanupItem> ScanCollectors::measuredItems(std::vector<Candidate> candidates, std::stop_token stop) {
    std::vector<Url> urls;
    urls.reserve(candidates.size());
    for (const Candidate& candidate : candidates)
        urls.push_back(candidate.url);
    const std::vector<Measurement> measured = SizeCounter::measureEach(urls, std::move(stop));
    urls = {};
    std::vector<CleanupItem> items;
    items.reserve(candidates.size());
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (measured[i].size < 1 && measured[i].files < 1)
            continue;
        Candidate& candidate = candidates[i];
        items.emplace_back(std::move(candidate.url), std::move(candidate.name), measured[i].size,
                           std::max<std::int64_t>(1, measured[i].files), measured[i].lastUsed,
                           std::move(candidate.reason), std::move(candidate.source), candidate.safety,
                           candidate.action);
    }
    return items;
}

std::optional<std::string> ScanCollectors::runTool(const std::string& executable,
                                                   const std::vector<std::string>& arguments,
                                                   std::stop_token stop) const {
    // A stopped scan does not wait for a tool's timeout: the runner ends a running tool at once.
    if (!scanner_.runner || stop.stop_requested())
        return std::nullopt;
    try {
        return scanner_.runner->run(executable, arguments, stop);
    } catch (...) {
        return std::nullopt;
    }
}

// MARK: Scan

ScanResult DiskScanner::scan(const Progress& progress, std::stop_token stop) const {
    std::vector<CategoryID> ids;
    for (CategoryID id : allCategoryIDs)
        if (id != CategoryID::other)
            ids.push_back(id);
    const int total = int(ids.size());

    const HomeLayout layout(home, environment);
    const DeletionGuard guard(layout);
    // The apps and the caches both read the Flatpak apps: they are listed once for the scan.
    DiskScanner scanner = *this;
    scanner.flatpakApps = listedOnce(flatpakApps);
    FinishedQueue queue;
    std::vector<Category> categories;
    categories.reserve(ids.size());
    {
        std::vector<std::jthread> workers;
        workers.reserve(ids.size());
        for (CategoryID id : ids) {
            auto work = [id, stop, &scanner, &queue, &layout, &guard] {
                Category category(id);
                try {
                    category = scanner.collect(id, layout, guard, stop);
                } catch (...) {
                    // A collector that fails (memory, threads) leaves its category empty.
                }
                queue.push(std::move(category));
            };
            workers.push_back(runOnThreadElseInline(work));
        }
        for (int finished = 1; finished <= total; ++finished) {
            categories.push_back(queue.pop());
            if (progress)
                progress(categories.back().id, finished, total);
        }
    }

    categories = deduplicateDownloads(std::move(categories));
    std::stable_sort(categories.begin(), categories.end(),
                     [](const Category& a, const Category& b) { return position(a.id) < position(b.id); });

    ScanResult result;
    result.date = now;
    if (auto volume = VolumeInfo::read(home)) {
        result.volume = volume->name;
        result.total = volume->total;
        result.free = volume->free;
        result.available = volume->available;
    } else {
        result.volume = VolumeInfo::unlabeledName();
    }
    result.categories = std::move(categories);
    result.computeOther();
    return result;
}

// MARK: Collect

Category DiskScanner::collect(CategoryID id, std::stop_token stop) const {
    return collect(id, HomeLayout(home, environment), stop);
}

Category DiskScanner::collect(CategoryID id, const HomeLayout& layout, std::stop_token stop) const {
    return collect(id, layout, DeletionGuard(layout), stop);
}

Category DiskScanner::collect(CategoryID id, const HomeLayout& layout, const DeletionGuard& guard,
                              std::stop_token stop) const {
    const ScanCollectors collectors(*this, layout);
    Category raw(id);
    switch (id) {
    case CategoryID::apps:
        raw = collectors.apps(stop);
        break;
    case CategoryID::personal:
        raw = collectors.personal(stop);
        break;
    case CategoryID::caches:
        raw = collectors.caches(stop);
        break;
    case CategoryID::logs:
        raw = collectors.children(layout.folder("Library/Logs"), id, "logs", Safety::safe,
                                  L("A log file. Nothing reads old logs."), stop);
        break;
    case CategoryID::trash:
        raw = collectors.trash(stop);
        break;
    case CategoryID::installers:
        raw = collectors.installers(stop);
        break;
    case CategoryID::mailDownloads:
        raw = collectors.children(layout.folder("Library/Containers/com.apple.mail/Data/Library/Mail Downloads"), id,
                                  "mail.downloads", Safety::safe,
                                  L("A copy of an attachment. The original stays in the email."), stop);
        break;
    case CategoryID::messages:
        raw = collectors.single(id, "Library/Messages/Attachments", L("Attachments"),
                                L("Manage attachments in Messages."), "messages", stop);
        break;
    case CategoryID::iosBackups:
        raw = collectors.backups(stop);
        break;
    case CategoryID::snapshots:
        raw = collectors.snapshots(stop);
        break;
    case CategoryID::xcode:
        raw = collectors.xcode(stop);
        break;
    case CategoryID::simulators:
        raw = collectors.simulators(stop);
        break;
    case CategoryID::docker:
        raw = collectors.single(id, "Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw", "Docker.raw",
                                L("Shrink it in Docker Desktop > Settings > Resources, or with docker system prune."),
                                "docker", stop);
        break;
    case CategoryID::packageCaches:
        raw = collectors.packageCaches(stop);
        break;
    case CategoryID::projects:
        raw = collectors.projects(stop);
        break;
    case CategoryID::other:
        break;
    }

    // Items are found where their folders really are: an excluded path spelled through a link
    // counts there too.
    std::vector<std::string> excluded = settings.excludedPaths;
    for (const std::string& entry : settings.excludedPaths)
        if (entry.starts_with('/'))
            if (std::string real = layout.resolved(Url::fromPath(entry)).path(); real != Url::fromPath(entry).path())
                excluded.push_back(std::move(real));
    std::vector<CleanupItem> kept;
    kept.reserve(raw.items.size());
    std::vector<Url> trashed;
    for (CleanupItem& item : raw.items) {
        if (isExcluded(item.url.path(), excluded))
            continue;
        if (item.action == CleanupAction::trash)
            trashed.push_back(item.url);
        kept.push_back(std::move(item));
    }
    const std::vector<DeletionGuard::Verdict> verdicts = guard.checkEach(trashed);
    // A move goes down to its item through no link: one that a link leads to is shown, not
    // offered. The one link taken is the home's other spelling, and only a folder really in the
    // home can be spelled through it. Each folder is looked at once.
    std::unordered_map<std::string, bool> reachable;
    auto reachedWithoutLink = [&](const Url& url) {
        auto [known, added] = reachable.try_emplace(Path::parent(url.path()));
        if (added) {
            const std::string real = DeletionGuard::canonical(known->first);
            const bool inHome = guard.home == "/" || real == guard.home || real.starts_with(guard.home + "/");
            known->second = real == (inHome ? guard.inCanonicalHome(known->first) : known->first);
        }
        return known->second;
    };
    std::size_t next = 0;
    for (CleanupItem& item : kept)
        if (item.action == CleanupAction::trash && (!verdicts[next++].isAllowed() || !reachedWithoutLink(item.url)))
            item.action = CleanupAction::showOnly;
    refuseWhereNoTrashTakes(kept);
    keepWithinReach(kept);
    Category category(id, std::nullopt, std::move(kept), raw.sizeIsEstimate, std::move(raw.note));
    category.capLastUse(now);
    return category;
}

void DiskScanner::refuseWhereNoTrashTakes(std::vector<CleanupItem>& items) const {
    const std::string homeTrash = FreedesktopTrash::homeTrash(home.path());
    // Every item of a folder goes to the same Trash, and every item on the home Trash's own disk
    // to the home Trash: each folder is looked at once, and that disk's answer found once.
    std::optional<dev_t> homeDisk;
    for (std::string folder = homeTrash; !homeDisk && !folder.empty(); folder = Path::parent(folder)) {
        if (struct stat info; ::stat(folder.c_str(), &info) == 0)
            homeDisk = info.st_dev;
        if (folder == "/")
            break;
    }
    std::optional<std::optional<std::string>> homeDiskRefusal;
    std::unordered_map<std::string, std::optional<std::string>> refusals;
    for (CleanupItem& item : items) {
        if (item.action != CleanupAction::trash)
            continue;
        auto [known, added] = refusals.try_emplace(Path::parent(item.url.path()));
        if (added) {
            struct stat info;
            const bool onHomeDisk =
                homeDisk && ::lstat(item.url.path().c_str(), &info) == 0 && info.st_dev == *homeDisk;
            if (onHomeDisk && homeDiskRefusal) {
                known->second = *homeDiskRefusal;
            } else {
                if (auto refused = FreedesktopTrash::refusal(item.url.path(), homeTrash))
                    known->second = std::move(refused->message);
                if (onHomeDisk)
                    homeDiskRefusal = known->second;
            }
        }
        if (!known->second)
            continue;
        item.action = CleanupAction::showOnly;
        item.reason = item.reason.empty() ? *known->second : item.reason + " " + *known->second;
    }
}

void DiskScanner::keepWithinReach(std::vector<CleanupItem>& items) {
    std::vector<CleanupItem*> rated;
    std::vector<std::string> paths;
    for (CleanupItem& item : items) {
        if (item.action == CleanupAction::trash) {
            rated.push_back(&item);
            paths.push_back(item.url.path());
        }
    }
    std::vector<std::optional<FolderDescent::Identity>> identities;
    const std::vector<std::optional<MoveRights>> rights = MoveRights::ofEach(paths, &identities);
    std::map<std::uint32_t, std::string> owners; // names looked up once each
    for (std::size_t i = 0; i < rated.size(); ++i) {
        if (!rights[i])
            continue;
        if (identities[i])
            rated[i]->ground = CleanupItem::Ground{*identities[i], rights[i]->owner};
        if (rated[i]->safety == Safety::keep || (rights[i]->own && rights[i]->movable))
            continue;
        std::string why;
        if (rights[i]->own) {
            why = L("Moving it asks for your administrator password.");
        } else {
            auto [owner, added] = owners.try_emplace(rights[i]->owner);
            if (added)
                owner->second = MoveRights::userName(rights[i]->owner);
            why = rights[i]->movable
                      ? Lf("This belongs to the user {1}. Ask them before you move it.", {owner->second})
                      : Lf("This belongs to the user {1}. Moving it asks for your administrator password.",
                           {owner->second});
        }
        CleanupItem& item = *rated[i];
        item.safety = Safety::review;
        item.reason = item.reason.empty() ? std::move(why) : item.reason + " " + why;
    }
}

Category ScanCollectors::single(CategoryID id, const std::string& relative, std::string name, std::string reason,
                                std::string source, std::stop_token stop) const {
    std::vector<CleanupItem> items;
    if (auto item = measuredItem(homeFolder(relative), std::move(name), std::move(reason), std::move(source),
                                 Safety::keep, CleanupAction::showOnly, stop))
        items.push_back(std::move(*item));
    return Category(id, std::nullopt, std::move(items));
}

Category ScanCollectors::projects(std::stop_token stop) const {
    std::vector<Url> roots = ProjectFinder::rootsFrom(scanner_.settings.projectFolders);
    if (roots.empty())
        return Category(CategoryID::projects, std::nullopt, {}, false,
                        L("Choose the folders with your projects in Settings > Scan."));
    // A folder named through a link is walked where it really is, so its finds move from there.
    for (Url& root : roots)
        root = layout_.resolved(root);
    // The wall clock on purpose, not the scanner's `now`: a project's age is how long it has
    // really lain untouched, even when the scanner was given another date for the installers.
    ProjectFinder finder{std::move(roots), scanner_.settings.projectAgeDays, 6, Date::now()};
    return Category(CategoryID::projects, std::nullopt, finder.find(stop));
}

// MARK: Double counting

std::vector<Category> DiskScanner::deduplicateDownloads(std::vector<Category> categories) {
    std::vector<const CleanupItem*> inner;
    for (const Category& category : categories)
        if (category.id == CategoryID::installers || category.id == CategoryID::projects)
            for (const CleanupItem& item : category.items)
                inner.push_back(&item);
    if (inner.empty())
        return categories;

    std::vector<std::int64_t> reduced;
    for (Category& category : categories) {
        if (category.id != CategoryID::personal)
            continue;
        reduced.clear();
        for (const CleanupItem& item : category.items) {
            const std::string prefix = item.url.path() + "/";
            std::int64_t below = 0;
            for (const CleanupItem* candidate : inner)
                if (candidate->url.path().starts_with(prefix))
                    below += candidate->size;
            reduced.push_back(std::max<std::int64_t>(0, item.size - below));
        }
        category.size = 0;
        for (std::size_t i = 0; i < category.items.size(); ++i) {
            category.items[i].size = reduced[i];
            category.size += reduced[i];
        }
    }
    return categories;
}

} // namespace dovrane
