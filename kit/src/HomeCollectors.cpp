// The collectors that look at the home folder and the application folders.

#include "ScanCollectors.h"

#include "DovraneKit/Concurrently.h"
#include "DovraneKit/FileSystem.h"
#include "DovraneKit/FreedesktopTrash.h"
#include "DovraneKit/Language.h"
#include "DovraneKit/ToolOutputParsers.h"

#include "Ascii.h"
#include "Locked.h"

#include <array>

namespace dovrane {

Category ScanCollectors::apps(std::stop_token stop) const {
    const std::string reason = L("Remove apps on the Apps page, leftovers included.");
    std::vector<Candidate> candidates;
    for (const Url& folder : scanner_.applicationFolders) {
        for (const std::string& entry : Fs::list(folder.path())) {
            if (entry.starts_with("."))
                continue;
            std::string name = Path::extension(entry) == "app" ? Path::deletingExtension(entry) : entry;
            candidates.push_back(
                {folder.appending(entry), std::move(name), reason, "apps", Safety::keep, CleanupAction::showOnly});
        }
    }
    return Category(CategoryID::apps, std::nullopt, measuredItems(std::move(candidates), stop));
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

    Locked<std::vector<std::optional<CleanupItem>>> slots(std::vector<std::optional<CleanupItem>>(folders.size()));
    concurrently(int(folders.size()), [&](int i) {
        const Folder& folder = folders[std::size_t(i)];
        std::optional<CleanupItem> item;
        try {
            item = measuredItem(homeFolder(folder.relative), L(folder.english), reason, "personal", Safety::keep,
                                CleanupAction::showOnly, stop);
        } catch (...) {
            // Out of memory while measuring: the folder is left out like an unreadable one.
        }
        slots.with([&](auto& stored) { stored[std::size_t(i)] = std::move(item); });
    });

    std::vector<CleanupItem> items;
    for (auto& slot : slots.copy())
        add(items, std::move(slot));
    return Category(CategoryID::personal, std::nullopt, std::move(items));
}

Category ScanCollectors::caches(std::stop_token stop) const {
    const Url folder = homeFolder("Library/Caches");
    std::vector<Candidate> candidates;
    for (const std::string& name : Fs::list(folder.path())) {
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
    return Category(CategoryID::caches, std::nullopt, measuredItems(std::move(candidates), stop));
}

Category ScanCollectors::children(const Url& folder, CategoryID id, const std::string& source, Safety safety,
                                  const std::string& reason, std::stop_token stop) const {
    std::vector<Candidate> candidates;
    for (const std::string& name : Fs::list(folder.path())) {
        if (name == ".DS_Store")
            continue;
        candidates.push_back({folder.appending(name), name, reason, source, safety, CleanupAction::trash});
    }
    return Category(id, std::nullopt, measuredItems(std::move(candidates), stop));
}

Category ScanCollectors::trash(std::stop_token stop) const {
    std::vector<CleanupItem> items;
    const Url files = Url::fromPath(FreedesktopTrash::homeTrashFiles(scanner_.home.path()));
    add(items, measuredItem(files, L("Trash"), L("Finder empties the Trash after you confirm. This cannot be undone."),
                            "trash", Safety::safe, CleanupAction::emptyTrash, stop));
    return Category(CategoryID::trash, std::nullopt, std::move(items));
}

Category ScanCollectors::installers(std::stop_token stop) const {
    const Date cutoff = scanner_.now.adding(double(scanner_.settings.installerAgeDays) * -86400.0);
    std::vector<CleanupItem> items;

    const Url downloads = homeFolder("Downloads");
    for (const std::string& name : Fs::list(downloads.path())) {
        const std::string extension = ascii::lowercased(Path::extension(name));
        const bool archive = extension == "zip" || extension == "xip";
        // Debian and RPM packages are Linux's disk images and installer packages.
        const bool installer =
            extension == "dmg" || extension == "pkg" || extension == "mpkg" || extension == "deb" || extension == "rpm";
        if (!archive && !installer)
            continue;
        // Linux keeps no date of adding to a folder: the content's modification date decides.
        const Url url = downloads.appending(name);
        std::optional<Date> date = Fs::modificationDate(url.path());
        if (!date || !(*date < cutoff))
            continue;
        if (archive)
            add(items,
                measuredItem(url, name, L("An archive in Downloads. It may hold something you unpacked nowhere else."),
                             "installers.archive", Safety::review, CleanupAction::trash, stop));
        else
            add(items, measuredItem(url, name, L("An installer you downloaded. The installed app does not need it."),
                                    "installers.image", Safety::safe, CleanupAction::trash, stop));
    }

    for (const Url& folder : scanner_.applicationFolders) {
        for (const std::string& name : Fs::list(folder.path())) {
            if (!name.starts_with("Install macOS") || Path::extension(name) != "app")
                continue;
            add(items, measuredItem(folder.appending(name), Path::deletingExtension(name),
                                    L("A macOS installer. Keep it only if you need it for another Mac or a USB "
                                      "installer."),
                                    "installers.macos", Safety::review, CleanupAction::trash, stop));
        }
    }
    return Category(CategoryID::installers, std::nullopt, std::move(items));
}

Category ScanCollectors::backups(std::stop_token stop) const {
    const Url folder = homeFolder("Library/Application Support/MobileSync/Backup");
    std::vector<CleanupItem> items;
    for (const std::string& entry : Fs::list(folder.path())) {
        const Url backup = folder.appending(entry);
        BackupInfo::Info info = BackupInfo::read(backup);
        std::string name = info.deviceName ? *info.deviceName : L("Unknown device");
        if (info.date)
            name += ", " + DateText::abbreviatedDate(*info.date);
        add(items, measuredItem(backup, std::move(name),
                                L("A full device backup. Keep the newest one of each device you use."), "backups.ios",
                                Safety::review, CleanupAction::trash, stop));
    }
    return Category(CategoryID::iosBackups, std::nullopt, std::move(items));
}

} // namespace dovrane
