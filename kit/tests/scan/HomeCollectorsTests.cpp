#include "DovraneKit/apps/AppInventory.h"
#include "DovraneKit/scan/DiskScanner.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/SizeCounter.h"

#include "scan/ScanCollectors.h"

#include "support/AppFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// Whole seconds, so that a file can be exactly as old as a setting.
const Date scanTime = Date::fromUnix(std::floor(Date::now().unixSeconds()));

DiskScanner scannerFor(const TempHome& home, std::vector<Url> applicationFolders = {},
                       DiskScanner::AppNameLookup appName = DiskScanner::noNames(),
                       std::set<std::string> running = {}) {
    return DiskScanner(Url::fromPath(home.path()), std::move(applicationFolders), ScanSettings{}, nullptr,
                       std::move(appName), std::move(running), scanTime);
}

std::vector<std::string> names(const Category& category) {
    std::vector<std::string> result;
    for (const auto& item : category.items)
        result.push_back(item.name);
    return result;
}

std::map<std::string, CleanupItem> byName(const Category& category) {
    std::map<std::string, CleanupItem> items;
    for (const auto& item : category.items)
        items.emplace(item.name, item);
    return items;
}

} // namespace

TEST(HomeCollectors, AppsAreEveryVisibleEntryOfTheApplicationFolders) {
    TempHome home;
    std::string system = home / "System Apps", user = home / "Applications";
    writeFileOfSize(system + "/Editor.app/Contents/MacOS/Editor", 20000);
    writeFileOfSize(system + "/Utilities/Terminal.app/Contents/MacOS/Terminal", 9000);
    writeFileOfSize(system + "/.hidden.app/Contents/x", 100);
    writeFileOfSize(user + "/Shouting.APP/Contents/x", 100);
    makeSymlink(system + "/Editor.app", user + "/Linked.app");

    auto items = byName(ScanCollectors(scannerFor(home, {Url::fromPath(system), Url::fromPath(user)})).apps());
    EXPECT_EQ(items.size(), 3u);
    EXPECT_EQ(items["Editor"].url, Url::fromPath(system + "/Editor.app"));
    EXPECT_GE(items["Utilities"].size, 9000);
    EXPECT_TRUE(items.contains("Shouting.APP"));

    DiskScanner defaults(Url::fromPath(home.path()), std::nullopt, ScanSettings{}, nullptr);
    EXPECT_EQ(defaults.applicationFolders, (std::vector<Url>{Url::fromPath("/Applications"), Url::fromPath(user)}));
    EXPECT_FALSE(defaults.appName("com.example.any"));
}

TEST(HomeCollectors, PersonalFoldersInFixedOrderMissingOnesLeftOut) {
    TempHome home;
    writeFileOfSize(home / "Library/Mobile Documents/com~apple~CloudDocs/a.pages", 3000);
    writeFileOfSize(home / "Movies/clip.mov", 50000);
    writeFileOfSize(home / "Documents/letter.txt", 200);
    makeFolder(home / "Music");
    writeFile(home / "Desktop/empty-note.txt");

    auto personal = ScanCollectors(scannerFor(home)).personal();
    EXPECT_EQ(names(personal),
              (std::vector<std::string>{"Documents", "Desktop", "Movies", "iCloud Drive (on this Mac)"}));
    EXPECT_EQ(personal.items[1].size, 0);
    EXPECT_EQ(personal.items[1].fileCount, 1);
    EXPECT_GE(personal.items[2].size, 50000);

    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(names(ScanCollectors(scannerFor(home)).personal()),
              (std::vector<std::string>{"Dokumente", "Schreibtisch", "Filme", "iCloud Drive (auf diesem Mac)"}));
}

TEST(HomeCollectors, CacheFoldersAreRatedByTheirName) {
    TempHome home;
    for (const char* name : {"com.apple.Safari", "com.apple.Music", "org.example.Known", "org.example.Unknown",
                             "Homebrew", "Yarn", "pip", "pnpm"})
        writeFileOfSize(home / "Library/Caches" + "/" + name + "/data", 1000);
    writeFile(home / "Library/Caches/.DS_Store", "x");
    auto lookup = [](const std::string& id) {
        return id == "org.example.Known" ? std::optional<std::string>("Known App") : std::nullopt;
    };

    auto items = byName(ScanCollectors(scannerFor(home, {}, lookup, {"com.apple.Safari"})).caches());
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items["com.apple.Safari"].source, "caches.running");
    EXPECT_EQ(items["com.apple.Music"].source, "caches.apple");
    EXPECT_EQ(items["Known App"].source, "caches.app");
    EXPECT_EQ(items["Known App"].url, Url::fromPath(home / "Library/Caches/org.example.Known"));
    EXPECT_EQ(items["org.example.Unknown"].safety, Safety::safe);
    EXPECT_EQ(byName(ScanCollectors(scannerFor(home)).caches())["com.apple.Safari"].source, "caches.apple");
}

TEST(HomeCollectors, TrashIsTheFreedesktopTrashOfTheHome) {
    TempHome home;
    makeFolder(home / ".local/share/Trash/files");
    auto empty = ScanCollectors(scannerFor(home)).trash();
    EXPECT_TRUE(empty.items.empty());
    EXPECT_EQ(empty.size, 0);

    writeFileOfSize(home / ".local/share/Trash/files/old.iso", 30000);
    writeFileOfSize(home / ".local/share/Trash/info/old.iso.trashinfo", 100);
    writeFileOfSize(home / ".Trash/mac-style", 90000);
    auto trash = ScanCollectors(scannerFor(home)).trash();
    ASSERT_EQ(trash.items.size(), 1u);
    EXPECT_EQ(trash.items[0].name, "Trash");
    EXPECT_EQ(trash.items[0].url, Url::fromPath(home / ".local/share/Trash/files"));
    EXPECT_EQ(trash.items[0].action, CleanupAction::emptyTrash);
    EXPECT_GE(trash.size, 30000);
    EXPECT_LT(trash.size, 90000);

    // What lies behind a Trash that is a link, or behind its files/, is counted where it is.
    TempDir elsewhere;
    writeFileOfSize(elsewhere / "Trash/files/big.iso", 60000);
    makeFolder(elsewhere / "Trash/info");
    const std::string folder = home / ".local/share/Trash";
    Fs::removeAll(folder);
    makeSymlink(elsewhere / "Trash", folder);
    auto linked = ScanCollectors(scannerFor(home)).trash();
    EXPECT_TRUE(linked.items.empty());
    EXPECT_EQ(linked.size, 0);
    Fs::removeAll(folder);
    makeFolder(folder + "/info");
    makeSymlink(elsewhere / "Trash/files", folder + "/files");
    EXPECT_TRUE(ScanCollectors(scannerFor(home)).trash().items.empty());
}

TEST(HomeCollectors, InstallersOlderThanTheSettingAndMacOSInstallers) {
    TempHome home;
    std::string downloads = home / "Downloads", applications = home / "Applications";
    for (const char* name : {"old.dmg", "OLD2.DMG", "bundle.zip", "notes.txt", "young.dmg", "edge.dmg"}) {
        writeFileOfSize(downloads + "/" + name, 2000);
        setTimes(downloads + "/" + name, daysAgo(15, scanTime));
    }
    setTimes(downloads + "/young.dmg", daysAgo(13, scanTime));
    setTimes(downloads + "/edge.dmg", daysAgo(14, scanTime));
    writeFileOfSize(applications + "/Install macOS Sonoma.app/Contents/x", 5000);
    writeFileOfSize(applications + "/install macOS lower.app/Contents/x", 5000);

    auto scanner = scannerFor(home, {Url::fromPath(applications)});
    auto installers = ScanCollectors(scanner).installers();
    auto items = byName(installers);
    EXPECT_EQ(items.size(), 4u);
    EXPECT_EQ(items["OLD2.DMG"].source, "installers.image");
    EXPECT_EQ(items["OLD2.DMG"].safety, Safety::safe);
    EXPECT_EQ(items["bundle.zip"].source, "installers.archive");
    EXPECT_EQ(items["bundle.zip"].safety, Safety::review);
    EXPECT_EQ(installers.items.back().name, "Install macOS Sonoma");
    EXPECT_EQ(installers.items.back().source, "installers.macos");
    EXPECT_EQ(installers.items.back().reason,
              "A macOS installer. Keep it only if you need it for a Mac or a USB installer.");
    {
        ScopedEnv german("APP_LANG", "de");
        EXPECT_EQ(ScanCollectors(scanner).installers().items.back().reason,
                  "Ein macOS-Installer. Nur behalten, wenn du ihn für einen Mac oder einen USB-Stick brauchst.");
    }
    EXPECT_TRUE(byName(ScanCollectors(scanner).apps()).contains("Install macOS Sonoma"));

    ScanSettings month;
    month.installerAgeDays = 30;
    DiskScanner patient(Url::fromPath(home.path()), std::vector<Url>{}, month, nullptr, DiskScanner::noNames(), {},
                        scanTime);
    EXPECT_TRUE(ScanCollectors(patient).installers().items.empty());
}

TEST(HomeCollectors, DeviceBackupsNamedByDeviceAndDate) {
    TempHome home;
    std::string backups = home / "Library/Application Support/MobileSync/Backup";
    writeFile(backups + "/A/Info.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>Device Name</key><string>Anna’s iPhone</string>
<key>Last Backup Date</key><date>2024-05-01T12:00:00Z</date>
</dict></plist>)");
    writeFileOfSize(backups + "/B/blob", 40000);
    writeFile(backups + "/.DS_Store", "settings"); // a stray file counts as a backup too

    auto listed = names(ScanCollectors(scannerFor(home)).backups());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"Anna’s iPhone, May 1, 2024", "Unknown device", "Unknown device"}));
    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(byName(ScanCollectors(scannerFor(home)).backups()).count("Unbekanntes Gerät"), 1u);
}

TEST(HomeCollectors, LinuxDownloadsAreInstallersByTheSameAgeRuleButAppImagesAreNot) {
    TempHome home;
    const std::string downloads = home / "Downloads";
    const std::vector<std::string> images = {"debian.iso", "tool.flatpak", "tool.flatpakref", "tool.snap", "pkg.deb"};
    const std::vector<std::string> archives = {"src.tar.gz", "src.TGZ", "src.tar.xz", "src.tar.bz2", "src.tar.zst"};
    const std::vector<std::string> others = {"Tool.AppImage", "notes.gz",  "src.tar",
                                             ".tar.gz",       "young.iso", "edge.iso"};
    for (const auto* group : {&images, &archives, &others})
        for (const std::string& name : *group) {
            writeFileOfSize(downloads + "/" + name, 2000);
            setTimes(downloads + "/" + name, daysAgo(15, scanTime));
        }
    setTimes(downloads + "/young.iso", daysAgo(13, scanTime));
    setTimes(downloads + "/edge.iso", daysAgo(14, scanTime));

    auto items = byName(ScanCollectors(scannerFor(home)).installers());
    std::set<std::string> found;
    for (const auto& [name, item] : items) {
        found.insert(name);
        const bool archive = std::find(archives.begin(), archives.end(), name) != archives.end();
        EXPECT_EQ(item.source, archive ? "installers.archive" : "installers.image") << name;
        EXPECT_EQ(item.safety, archive ? Safety::review : Safety::safe) << name;
    }
    std::set<std::string> expected(images.begin(), images.end());
    expected.insert(archives.begin(), archives.end());
    EXPECT_EQ(found, expected);
}

TEST(HomeCollectors, FlatpakAppCachesAreCachesNamedAfterTheirApp) {
    TempHome home;
    writeFileOfSize(home / ".var/app/org.example.Known/cache/fontconfig/x", 3000);
    writeFileOfSize(home / ".var/app/org.example.Running/cache/x", 1000);
    writeFileOfSize(home / ".var/app/org.example.NoCache/data/x", 1000);
    makeFolder(home / ".var/app/org.example.Linked");
    makeSymlink(home / "Documents", home / ".var/app/org.example.Linked/cache");
    writeFileOfSize(home / ".cache/org.example.Plain/x", 1000);
    auto lookup = [](const std::string& id) {
        return id == "org.example.Known" ? std::optional<std::string>("Known App") : std::nullopt;
    };

    auto items = byName(ScanCollectors(scannerFor(home, {}, lookup, {"org.example.Running"})).caches());
    EXPECT_EQ(items.size(), 3u);
    EXPECT_EQ(items["Known App"].url, Url::fromPath(home / ".var/app/org.example.Known/cache"));
    EXPECT_GE(items["Known App"].size, 3000);
    EXPECT_EQ(items["Known App"].safety, Safety::safe);
    EXPECT_EQ(items["org.example.Running"].source, "caches.running");
    EXPECT_EQ(items["org.example.Running"].safety, Safety::review);
    EXPECT_TRUE(items.contains("org.example.Plain"));
}

TEST(HomeCollectors, AppImagesAreAppsWhereverTheAppListFindsThem) {
    TempHome home;
    const std::string applications = home / "Applications";
    // Marked as AppImages, with nothing readable after the mark.
    const std::string marked("\x7F"
                             "ELF\x02\x01\x01\x00"
                             "AI\x02",
                             11);
    writeFile(applications + "/Tool-1.2.0-x86_64.AppImage", marked + std::string(4000, '\0'));
    writeFile(home / ".local/bin/Other-2.0.AppImage", marked + std::string(5000, '\0'));
    writeFileOfSize(home / ".local/bin/Unmarked-1.0.AppImage", 5000);
    writeFileOfSize(applications + "/Unmarked-3.0.AppImage", 3000);
    writeFileOfSize(home / ".local/bin/script", 100);
    makeFolder(home / ".local/bin/Folder.AppImage");

    DiskScanner scanner = scannerFor(home, {Url::fromPath(applications)});
    InstalledApp flat;
    flat.name = "Flat";
    flat.size = 1'250'000'000;
    flat.path = Url::fromPath(home / ".local/share/flatpak/app/org.example.Flat/x86_64/stable/abc");
    flat.isSystem = true;
    scanner.flatpakApps = [flat] { return std::vector<InstalledApp>{flat}; };

    const Category apps = ScanCollectors(scanner).apps();
    auto items = byName(apps);
    // Whatever lies in an applications folder is shown, but only an AppImage is named as one;
    // of the user's programs only AppImages count.
    auto listed = names(apps);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"Flat", "Other", "Tool", "Unmarked-3.0.AppImage"}));
    EXPECT_GE(items["Other"].size, 5000);
    EXPECT_EQ(items["Other"].url, Url::fromPath(home / ".local/bin/Other-2.0.AppImage"));
    EXPECT_EQ(items["Flat"].size, 1'250'000'000);
    EXPECT_EQ(items["Flat"].action, CleanupAction::showOnly);
    EXPECT_GE(apps.size, 1'250'009'000);

    // Named from the payload as the app list names it.
    if (!mksquashfs())
        GTEST_SKIP() << "mksquashfs (squashfs-tools) is not installed, so no AppImage can be built";
    ASSERT_TRUE(writeAppImage(applications + "/Tool-1.2.0-x86_64.AppImage",
                              {{"tool.desktop", "[Desktop Entry]\nName=Tool Maker\n"}}));
    listed = names(ScanCollectors(scanner).apps());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"Flat", "Other", "Tool Maker", "Unmarked-3.0.AppImage"}));
}

TEST(HomeCollectors, ADiskOrShareMountedInTheHomeIsNeitherMeasuredNorOffered) {
    TempHome home;
    writeFileOfSize(home / "Library/Caches/org.example.Own/data", 1000);
    writeFileOfSize(home / "Library/Caches/org.example.Browser/own", 1000);
    makeFolder(home / "Library/Caches/org.example.Browser/profile");
    makeFolder(home / "Library/Caches/org.example.Share");
    writeFileOfSize(home / "Documents/letter.txt", 2000);
    makeFolder(home / "Music");
    auto report = withPrivateMounts([&] {
        if (!mountTmpfs(home / "Library/Caches/org.example.Browser/profile") ||
            !mountTmpfs(home / "Library/Caches/org.example.Share") || !bindMount(home.path(), home / "Music"))
            return std::string("mounting failed");
        writeFileOfSize(home / "Library/Caches/org.example.Browser/profile/big", 3'000'000);
        writeFileOfSize(home / "Library/Caches/org.example.Share/big", 3'000'000);
        std::string problems;
        auto caches = byName(ScanCollectors(scannerFor(home)).caches());
        if (caches.size() != 2 || caches.contains("org.example.Share"))
            problems += "a mounted cache folder is offered; ";
        if (caches["org.example.Browser"].size >= 3'000'000)
            problems += "a disk mounted inside a cache counts as the cache's; ";
        if (names(ScanCollectors(scannerFor(home)).personal()) != std::vector<std::string>{"Documents"})
            problems += "the home bound under Music counts as Music; ";
        return problems;
    });
    if (!report)
        GTEST_SKIP() << "mounting in a private mount namespace needs root";
    EXPECT_EQ(*report, "");
}

TEST(AppsCategory, ListsWhatTheAppListListsWithTheSameSizes) {
    if (!mksquashfs())
        GTEST_SKIP() << "mksquashfs (squashfs-tools) is not installed, so no AppImage can be built";
    TempHome home;
    const std::string desktopEntry = "[Desktop Entry]\nType=Application\nName=Tool Maker\nName[de]=Werkzeugmacher\n"
                                     "Exec=toolmaker %F\nIcon=toolmaker\nX-AppImage-Version=0.9\n"
                                     "[Desktop Action New]\nName=Other\n";
    ASSERT_TRUE(writeAppImage(home / "Applications/ToolMaker.AppImage", {{"toolmaker.desktop", desktopEntry}}));
    ASSERT_TRUE(writeAppImage(home / ".local/bin/Other-2.0.AppImage", {{"other.desktop", "[Desktop Entry]\n"}}));
    writeFile(home / ".local/bin/script.sh", "#!/bin/sh\n");

    std::map<std::string, std::pair<std::string, std::int64_t>> listed, counted;
    for (InstalledApp app : AppInventory(Url::fromPath(home.path()), std::nullopt, {}).list()) {
        app.size = SizeCounter::measure(app.path).size; // as the application measures each listed app
        listed[app.path.path()] = {app.name, app.size};
    }
    DiskScanner scanner(Url::fromPath(home.path()), std::vector<Url>{Url::fromPath(home / "Applications")},
                        ScanSettings{}, nullptr);
    scanner.flatpakApps = {};
    for (const CleanupItem& item : ScanCollectors(scanner).apps().items)
        counted[item.url.path()] = {item.name, item.size};
    EXPECT_EQ(listed.size(), 2u);
    EXPECT_EQ(counted, listed);
}
