#include "DovraneKit/DiskScanner.h"

#include "DovraneKit/FileSystem.h"
#include "support/FakeRunner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// Whole seconds, so that a file can be exactly as old as a setting.
const Date scanTime = Date::fromUnix(std::floor(Date::now().unixSeconds()));

DiskScanner scannerFor(const TempHome& home, std::vector<Url> applicationFolders = {},
                       DiskScanner::AppNameLookup appName = DiskScanner::noNames(),
                       std::set<std::string> running = {}) {
    return DiskScanner(Url::fromPath(home.path()), std::move(applicationFolders), ScanSettings{},
                       std::make_shared<FakeRunner>(), std::move(appName), std::move(running), scanTime);
}

std::map<std::string, CleanupItem> byName(const Category& category) {
    std::map<std::string, CleanupItem> items;
    for (const auto& item : category.items)
        items.emplace(item.name, item);
    return items;
}

std::vector<std::string> names(const Category& category) {
    std::vector<std::string> result;
    for (const auto& item : category.items)
        result.push_back(item.name);
    return result;
}

std::int64_t sizeOfItems(const Category& category) {
    std::int64_t sum = 0;
    for (const auto& item : category.items)
        sum += item.size;
    return sum;
}

std::string backupPlist(const std::string& device, const std::string& isoDate) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
<key>Device Name</key><string>)" + device + R"(</string>
<key>Last Backup Date</key><date>)" + isoDate + R"(</date>
</dict></plist>)";
}

} // namespace

TEST(HomeCollectors, AppsListEveryVisibleEntryOfEachApplicationFolder) {
    TempHome home;
    std::string system = home / "System Apps", user = home / "Applications";
    writeFileOfSize(system + "/Editor.app/Contents/MacOS/Editor", 20000);
    writeFileOfSize(system + "/Utilities/Terminal.app/Contents/MacOS/Terminal", 9000);
    writeFileOfSize(system + "/.hidden.app/Contents/x", 100);
    writeFileOfSize(user + "/Shouting.APP/Contents/x", 100);
    makeSymlink(system + "/Editor.app", user + "/Linked.app");

    auto apps = scannerFor(home, {Url::fromPath(system), Url::fromPath(user)}).apps();
    auto items = byName(apps);
    EXPECT_EQ(items.size(), 3u);
    ASSERT_TRUE(items.contains("Editor"));
    ASSERT_TRUE(items.contains("Utilities"));
    EXPECT_TRUE(items.contains("Shouting.APP"));
    EXPECT_GE(items["Utilities"].size, 9000);
    EXPECT_EQ(items["Editor"].url, Url::fromPath(system + "/Editor.app"));
    for (const auto& item : apps.items) {
        EXPECT_EQ(item.safety, Safety::keep);
        EXPECT_EQ(item.action, CleanupAction::showOnly);
        EXPECT_EQ(item.source, "apps");
        EXPECT_GE(item.fileCount, 1);
    }
    EXPECT_EQ(apps.size, sizeOfItems(apps));
}

TEST(HomeCollectors, DefaultApplicationFolders) {
    TempHome home;
    DiskScanner scanner(Url::fromPath(home.path()), std::nullopt, ScanSettings{}, nullptr);
    EXPECT_EQ(scanner.applicationFolders,
              (std::vector<Url>{Url::fromPath("/Applications"), Url::fromPath(home / "Applications")}));
    EXPECT_FALSE(scanner.appName("com.example.any"));
}

TEST(HomeCollectors, PersonalFoldersInFixedOrderMissingOnesLeftOut) {
    TempHome home;
    writeFileOfSize(home / "Library/Mobile Documents/com~apple~CloudDocs/a.pages", 3000);
    writeFileOfSize(home / "Movies/clip.mov", 50000);
    writeFileOfSize(home / "Documents/letter.txt", 200);
    makeFolder(home / "Music"); // empty: nothing countable
    writeFile(home / "Desktop/empty-note.txt");

    auto personal = scannerFor(home).personal();
    EXPECT_EQ(names(personal),
              (std::vector<std::string>{"Documents", "Desktop", "Movies", "iCloud Drive (on this Mac)"}));
    auto items = byName(personal);
    EXPECT_EQ(items["Desktop"].size, 0);
    EXPECT_EQ(items["Desktop"].fileCount, 1);
    EXPECT_GE(items["Movies"].size, 50000);
    EXPECT_EQ(items["Movies"].reason, "Your own files. Dovrane only shows them.");
    EXPECT_EQ(personal.size, sizeOfItems(personal));

    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(names(scannerFor(home).personal()),
              (std::vector<std::string>{"Dokumente", "Schreibtisch", "Filme", "iCloud Drive (auf diesem Mac)"}));
}

TEST(HomeCollectors, CacheFoldersAreRatedByTheirName) {
    TempHome home;
    for (const char* name : {"com.apple.Safari", "com.apple.Music", "org.example.Known", "org.example.Unknown",
                             "Homebrew", "Yarn", "pip", "pnpm"})
        writeFileOfSize(home / "Library/Caches" + "/" + name + "/data", 1000);
    writeFile(home / "Library/Caches/.DS_Store", "x");

    auto lookup = [](const std::string& id) -> std::optional<std::string> {
        if (id == "org.example.Known")
            return "Known App";
        return std::nullopt;
    };
    auto caches = scannerFor(home, {}, lookup, {"com.apple.Safari"}).caches();
    auto items = byName(caches);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items["com.apple.Safari"].source, "caches.running");
    EXPECT_EQ(items["com.apple.Safari"].safety, Safety::review);
    EXPECT_EQ(items["com.apple.Music"].source, "caches.apple");
    EXPECT_EQ(items["com.apple.Music"].safety, Safety::review);
    EXPECT_EQ(items["Known App"].source, "caches.app");
    EXPECT_EQ(items["Known App"].safety, Safety::safe);
    EXPECT_EQ(items["Known App"].url, Url::fromPath(home / "Library/Caches/org.example.Known"));
    EXPECT_EQ(items["org.example.Unknown"].reason, "A cache. The app rebuilds it when needed.");
    for (const auto& item : caches.items)
        EXPECT_EQ(item.action, CleanupAction::trash);

    auto notRunning = byName(scannerFor(home).caches());
    EXPECT_EQ(notRunning["com.apple.Safari"].source, "caches.apple");
}

TEST(HomeCollectors, OneItemPerChildSkipsOnlyDSStore) {
    TempHome home;
    writeFileOfSize(home / "Logs/app.log", 4000);
    writeFile(home / "Logs/.hidden.log", "x");
    writeFile(home / "Logs/.DS_Store", "x");
    makeFolder(home / "Logs/empty");

    auto logs = scannerFor(home).children(Url::fromPath(home / "Logs"), CategoryID::logs, "logs", Safety::safe, "why");
    EXPECT_EQ(logs.id, CategoryID::logs);
    auto items = byName(logs);
    EXPECT_EQ(items.size(), 2u);
    EXPECT_TRUE(items.contains(".hidden.log"));
    EXPECT_EQ(items["app.log"].reason, "why");
    EXPECT_EQ(items["app.log"].action, CleanupAction::trash);
    EXPECT_EQ(items["app.log"].safety, Safety::safe);
    EXPECT_EQ(scannerFor(home).children(Url::fromPath(home / "nothing"), CategoryID::logs, "logs", Safety::safe, "")
                  .items.size(),
              0u);
}

TEST(HomeCollectors, TrashIsTheFreedesktopTrashOfTheHome) {
    TempHome home;
    makeFolder(home / ".local/share/Trash/files");
    auto empty = scannerFor(home).trash();
    EXPECT_TRUE(empty.items.empty());
    EXPECT_EQ(empty.size, 0);

    writeFileOfSize(home / ".local/share/Trash/files/old.iso", 30000);
    writeFileOfSize(home / ".local/share/Trash/info/old.iso.trashinfo", 100);
    writeFileOfSize(home / ".Trash/mac-style", 90000); // not a trash on this system
    auto trash = scannerFor(home).trash();
    ASSERT_EQ(trash.items.size(), 1u);
    const auto& item = trash.items[0];
    EXPECT_EQ(item.name, "Trash");
    EXPECT_EQ(item.url, Url::fromPath(home / ".local/share/Trash/files"));
    EXPECT_EQ(item.action, CleanupAction::emptyTrash);
    EXPECT_EQ(item.safety, Safety::safe);
    EXPECT_GE(item.size, 30000);
    EXPECT_LT(item.size, 90000);
}

TEST(HomeCollectors, InstallersOlderThanTheSettingAndMacOSInstallers) {
    TempHome home;
    std::string downloads = home / "Downloads";
    for (const char* name : {"old.dmg", "OLD2.DMG", "tool.pkg", "bundle.zip", "young.dmg", "edge.dmg", "notes.txt"})
        writeFileOfSize(downloads + "/" + name, 2000);
    for (const char* name : {"old.dmg", "OLD2.DMG", "tool.pkg", "bundle.zip", "notes.txt"})
        setTimes(downloads + "/" + name, daysAgo(15, scanTime));
    setTimes(downloads + "/young.dmg", daysAgo(13, scanTime));
    setTimes(downloads + "/edge.dmg", daysAgo(14, scanTime));
    std::string applications = home / "Applications";
    writeFileOfSize(applications + "/Install macOS Sonoma.app/Contents/x", 5000);
    writeFileOfSize(applications + "/install macOS lower.app/Contents/x", 5000);
    writeFileOfSize(applications + "/Install macOS Disk.dmg", 5000);

    auto scanner = scannerFor(home, {Url::fromPath(applications)});
    auto installers = scanner.installers();
    auto items = byName(installers);
    EXPECT_EQ(items.size(), 5u);
    for (const char* name : {"old.dmg", "OLD2.DMG", "tool.pkg"}) {
        EXPECT_EQ(items[name].source, "installers.image") << name;
        EXPECT_EQ(items[name].safety, Safety::safe) << name;
    }
    EXPECT_EQ(items["bundle.zip"].source, "installers.archive");
    EXPECT_EQ(items["bundle.zip"].safety, Safety::review);
    EXPECT_EQ(items["Install macOS Sonoma"].source, "installers.macos");
    EXPECT_EQ(items["Install macOS Sonoma"].safety, Safety::review);
    EXPECT_EQ(items["Install macOS Sonoma"].action, CleanupAction::trash);
    // The downloads come first, then the installer apps.
    EXPECT_EQ(installers.items.back().name, "Install macOS Sonoma");
    // The same installer app is also an app.
    EXPECT_TRUE(byName(scanner.apps()).contains("Install macOS Sonoma"));

    ScanSettings month;
    month.installerAgeDays = 30;
    DiskScanner patient(Url::fromPath(home.path()), std::vector<Url>{}, month, nullptr, DiskScanner::noNames(), {},
                        scanTime);
    EXPECT_TRUE(patient.installers().items.empty());
}

TEST(HomeCollectors, DeviceBackupsNamedByDeviceAndDate) {
    TempHome home;
    std::string backups = home / "Library/Application Support/MobileSync/Backup";
    writeFile(backups + "/00008030-A/Info.plist", backupPlist("Anna’s iPhone", "2024-05-01T12:00:00Z"));
    writeFileOfSize(backups + "/00008030-A/blob", 40000);
    writeFileOfSize(backups + "/00008030-B/blob", 40000);
    writeFile(backups + "/.DS_Store", "settings");

    auto listed = scannerFor(home).backups();
    auto named = [](const Category& category, const std::string& name) {
        return std::count_if(category.items.begin(), category.items.end(),
                             [&](const CleanupItem& item) { return item.name == name; });
    };
    EXPECT_EQ(listed.items.size(), 3u);
    EXPECT_EQ(named(listed, "Anna’s iPhone, May 1, 2024"), 1);
    // The stray settings file counts as a backup of its own.
    EXPECT_EQ(named(listed, "Unknown device"), 2);
    for (const auto& item : listed.items) {
        EXPECT_EQ(item.source, "backups.ios");
        EXPECT_EQ(item.safety, Safety::review);
        EXPECT_EQ(item.action, CleanupAction::trash);
    }

    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(named(scannerFor(home).backups(), "Unbekanntes Gerät"), 2);
}
