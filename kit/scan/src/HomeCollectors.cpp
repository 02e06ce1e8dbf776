// The collectors that look at the home folder and the application folders.

#include "scan/ScanCollectors.h"

#include "DovraneKit/apps/AppImages.h"
#include "DovraneKit/core/Language.h"
#include "DovraneKit/scan/ToolOutputParsers.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/SizeCounter.h"
#include "DovraneKit/trash/FreedesktopTrash.h"

#include "core/Ascii.h"

#include <algorithm>
#include <array>
#include <map>

namespace dovrane {

namespace {

enum class InstallerKind { none, archive, installer };

// What a download is by its name. Linux adds its packages and disk images to the Mac's, and
// compressed tar archives beside ZIP; an AppImage is an app, not an installer.
InstallerKind installerKind(const std::string& name) {
    static constexpr std::array<std::string_view, 7> archives = {".zip",    ".xip",     ".tar.gz", ".tgz",
                                                                 ".tar.xz", ".tar.bz2", ".tar.zst"};
    static constexpr std::array<std::string_view, 9> installers = {".dmg",     ".pkg",        ".mpkg", ".deb", ".rpm",
                                                                   ".flatpak", ".flatpakref", ".snap", ".iso"};
    const std::string lowered = ascii::lowercased(name);
    auto endsWithAny = [&](const auto& suffixes) {
        return std::any_of(suffixes.begin(), suffixes.end(), [&](std::string_view suffix) {
            return lowered.size() > suffix.size() && lowered.ends_with(suffix);
        });
    };
    if (endsWithAny(archives))
        return InstallerKind::archive;
    if (endsWithAny(installers))
        return InstallerKind::installer;
    return InstallerKind::none;
}

} // namespace

Category ScanCollectors::apps(std::stop_token stop) const {
    const std::string reason = L("Remove apps on the Apps page, leftovers included.");
    std::vector<CleanupItem> items;
    for (const Url& folder : scanner_.applicationFolders) {
        for (const std::string& entry : Fs::list(folder.path())) {
            if (entry.starts_with("."))
                continue;
            const Url item = folder.appending(entry);
            const bool appImage = AppImages::hasAppImageName(entry) && AppImages::isAppImage(item.path());
            std::string name = Path::extension(entry) == "app" ? Path::deletingExtension(entry)
                               : appImage                      ? AppImages::read(item).name
                                                               : entry;
            add(items,
                measuredItem(item, std::move(name), reason, "apps", Safety::keep, CleanupAction::showOnly, stop));
        }
    }
    // AppImages kept with the user's programs are apps too, named as the app list names them.
    const Url bin = scanner_.home.appending(".local").appending("bin");
    for (const std::string& entry : Fs::list(bin.path()))
        if (AppImages::hasAppImageName(entry) && AppImages::isAppImage(bin.appending(entry).path()))
            add(items, measuredItem(bin.appending(entry), AppImages::read(bin.appending(entry)).name, reason, "apps",
                                    Safety::keep, CleanupAction::showOnly, stop));
    // Flatpak apps with the size their installation gives, as on the Apps page.
    for (const InstalledApp& app : flatpaks())
        items.emplace_back(app.path, app.name, app.size, 0, std::nullopt, reason, "apps", Safety::keep,
                           CleanupAction::showOnly);
    return Category(CategoryID::apps, std::nullopt, std::move(items));
}

Category ScanCollectors::personal(std::stop_token stop) const {
    struct Folder {
        const char* relative;
        const char* english;
    };
    static constexpr std::array<Folder, 7> folders = {{
        {"Documents", N_("Documents")},
        {"Desktop", N_("Desktop")},
        {"Downloads", N_("Downloads")},
        {"Pictures", N_("Pictures")},
        {"Music", N_("Music")},
        {"Movies", N_("Movies")},
        {"Library/Mobile Documents", N_("iCloud Drive (on this Mac)")},
    }};
    const std::string reason = L("Your own files. Dovrane only shows them.");

    // All at once on the walking pool, the items in the folders' order.
    std::vector<Candidate> candidates;
    candidates.reserve(folders.size());
    for (const Folder& folder : folders) {
        Url url = homeFolder(folder.relative);
        // A Linux folder read in place of the Mac's goes by its own name ("Videos", not "Movies"),
        // one linked elsewhere by the name it has in the home.
        const std::string spelled = layout_.spelledFolder(folder.relative).path();
        std::string name = spelled == Path::join(scanner_.home.path(), folder.relative) ? L(folder.english)
                                                                                        : Path::lastComponent(spelled);
        candidates.push_back(
            {std::move(url), std::move(name), reason, "personal", Safety::keep, CleanupAction::showOnly});
    }
    std::vector<CleanupItem> items = measuredItems(std::move(candidates), stop);
    return Category(CategoryID::personal, std::nullopt, std::move(items));
}

Category ScanCollectors::caches(std::stop_token stop) const {
    const Url folder = homeFolder("Library/Caches");
    const std::vector<std::string> names = Fs::list(folder.path());
    std::vector<Candidate> candidates;
    candidates.reserve(names.size());
    for (const std::string& name : names) {
        if (DiskScanner::packageCacheNames.contains(name) || name == ".DS_Store")
            continue;
        std::optional<std::string> known;
        try {
            known = scanner_.appName(name);
        } catch (...) {
        }
        std::string displayName = known ? *known : name;

        std::string source, reason;
        Safety safety = Safety::safe;
        if (scanner_.running.contains(name)) {
            source = "caches.running";
            safety = Safety::review;
            reason = L("This app is running. Quit it first, then its cache can go.");
        } else if (name.starts_with("com.apple.")) {
            source = "caches.apple";
            safety = Safety::review;
            reason = L("A cache of macOS. macOS rebuilds it, some parts at once while it runs.");
        } else {
            source = "caches.app";
            reason = L("A cache. The app rebuilds it when needed.");
        }
        candidates.push_back({folder.appending(name), std::move(displayName), std::move(reason), std::move(source),
                              safety, CleanupAction::trash});
    }
    flatpakCaches(candidates);
    return Category(CategoryID::caches, std::nullopt, measuredItems(std::move(candidates), stop));
}

std::vector<InstalledApp> ScanCollectors::flatpaks() const {
    try {
        if (scanner_.flatpakApps)
            return scanner_.flatpakApps();
    } catch (...) {
    }
    return {};
}

// Each Flatpak app keeps its cache inside its own data folder, ~/.var/app/<ID>/cache. It is
// named after the app as its installation names it, which the scan reads itself: the app list
// the lookup answers from may not be loaded yet when a scan starts.
void ScanCollectors::flatpakCaches(std::vector<Candidate>& candidates) const {
    const Url apps = homeFolder(".var/app");
    std::optional<std::map<std::string, std::string>> installedNames; // listed at the first cache
    for (const std::string& identifier : Fs::list(apps.path())) {
        // An app's folder kept on another disk is read there (its cache itself is no link).
        const Url cache = layout_.resolved(apps.appending(identifier)).appending("cache");
        if (!Fs::isDirectory(cache.path()) || Fs::isSymlink(cache.path()))
            continue;
        if (!installedNames) {
            installedNames.emplace();
            for (const InstalledApp& app : flatpaks())
                installedNames->emplace(app.bundleID, app.name);
        }
        std::optional<std::string> known;
        if (auto installed = installedNames->find(identifier); installed != installedNames->end()) {
            known = installed->second;
        } else {
            try {
                known = scanner_.appName(identifier);
            } catch (...) {
            }
        }
        const bool running = scanner_.running.contains(identifier);
        candidates.push_back({cache, known ? *known : identifier,
                              running ? L("This app is running. Quit it first, then its cache can go.")
                                      : L("A cache. The app rebuilds it when needed."),
                              running ? "caches.running" : "caches.app", running ? Safety::review : Safety::safe,
                              CleanupAction::trash});
    }
}

Category ScanCollectors::children(const Url& folder, CategoryID id, const std::string& source, Safety safety,
                                  const std::string& reason, std::stop_token stop) const {
    const std::vector<std::string> names = Fs::list(folder.path());
    std::vector<Candidate> candidates;
    candidates.reserve(names.size());
    for (const std::string& name : names) {
        if (name == ".DS_Store")
            continue;
        candidates.push_back({folder.appending(name), name, reason, source, safety, CleanupAction::trash});
    }
    return Category(id, std::nullopt, measuredItems(std::move(candidates), stop));
}

Category ScanCollectors::trash(std::stop_token stop) const {
    std::vector<CleanupItem> items;
    const std::string folder = FreedesktopTrash::homeTrash(scanner_.home.path());
    const Url files = Url::fromPath(Path::join(folder, "files"));
    // A Trash that is a link holds nothing of its own: what lies behind it is counted where it
    // is, and emptying the Trash would refuse it.
    if (Fs::isSymlink(folder) || Fs::isSymlink(files.path()))
        return Category(CategoryID::trash, std::nullopt, std::move(items));
    const Measurement measured = SizeCounter::measure(files, stop);
    if (measured.size > 0 || measured.files > 0)
        items.push_back(
            trashFolderItem(files, measured.size, std::max<std::int64_t>(1, measured.files), measured.lastUsed));
    return Category(CategoryID::trash, std::nullopt, std::move(items));
}

bool ScanCollectors::isOldInstaller(const Url& url, Date now, int ageDays) {
    const std::optional<Date> date = Fs::modificationDate(url.path());
    return date && *date < now.adding(double(ageDays) * -86400.0);
}

Category ScanCollectors::installers(std::stop_token stop) const {
    std::vector<CleanupItem> items;

    const Url downloads = homeFolder("Downloads");
    for (const std::string& name : Fs::list(downloads.path())) {
        const InstallerKind kind = installerKind(name);
        const bool archive = kind == InstallerKind::archive;
        if (kind == InstallerKind::none)
            continue;
        const Url url = downloads.appending(name);
        if (!isOldInstaller(url, scanner_.now, scanner_.settings.installerAgeDays))
            continue;
        if (archive)
            add(items,
                measuredItem(url, name, L("An archive in Downloads. It may hold something you unpacked nowhere else."),
                             "installers.archive", Safety::review, CleanupAction::trash, stop));
        else
            add(items, measuredItem(url, name, L("An installer you downloaded. The installed app does not need it."),
                                    "installers.image", Safety::safe, CleanupAction::trash, stop));
    }

    for (const Url& given : scanner_.applicationFolders) {
        const Url folder = layout_.resolved(given);
        for (const std::string& name : Fs::list(folder.path())) {
            if (!name.starts_with("Install macOS") || Path::extension(name) != "app")
                continue;
            add(items, measuredItem(folder.appending(name), Path::deletingExtension(name),
                                    L("A macOS installer. Keep it only if you need it for a Mac or a USB installer."),
                                    "installers.macos", Safety::review, CleanupAction::trash, stop));
        }
    }
    return Category(CategoryID::installers, std::nullopt, std::move(items));
}

std::string ScanCollectors::backupName(const BackupInfo::Info& info) {
    std::string name = info.deviceName ? *info.deviceName : L("Unknown device");
    if (info.date)
        name += ", " + DateText::abbreviatedDate(*info.date);
    return name;
}

Category ScanCollectors::backups(std::stop_token stop) const {
    const Url folder = homeFolder("Library/Application Support/MobileSync/Backup");
    std::vector<CleanupItem> items;
    for (const std::string& entry : Fs::list(folder.path())) {
        const Url backup = folder.appending(entry);
        add(items, measuredItem(backup, backupName(BackupInfo::read(backup)),
                                L("A full device backup. Keep the newest one of each device you use."), "backups.ios",
                                Safety::review, CleanupAction::trash, stop));
    }
    return Category(CategoryID::iosBackups, std::nullopt, std::move(items));
}

} // namespace dovrane
