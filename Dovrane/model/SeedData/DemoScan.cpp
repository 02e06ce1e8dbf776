// The demo scan. Category sizes, their total and the "other" remainder are never written down
// here: they follow from the item table through Category and ScanResult::computeOther, as they
// do for a real scan.

#include "SeedData/DemoText.h"
#include "SeedData/SeedData.h"

#include <DovraneKit/core/Date.h>

#include <QDate>
#include <QDateTime>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane::SeedData {

namespace {

constexpr double day = 86400;

// The demo volume, shared by the scan and the model's own volume figures.
constexpr const char* volumeName = "Macintosh HD";
constexpr std::int64_t volumeTotal = 994'000'000'000;
constexpr std::int64_t volumeFree = 312'000'000'000;
constexpr std::int64_t volumeAvailable = 294'000'000'000;

constexpr Text snapshotsNote{QT_TRANSLATE_NOOP("SeedData", "3 snapshots, size not disclosed by macOS")};

namespace Reason {
constexpr Text A1{QT_TRANSLATE_NOOP("SeedData", "Remove apps on the Apps page, leftovers included.")};
constexpr Text P1{QT_TRANSLATE_NOOP("SeedData", "Your own files. Dovrane only shows them.")};
constexpr Text C1{QT_TRANSLATE_NOOP("SeedData", "A cache. The app rebuilds it when needed.")};
constexpr Text C2{QT_TRANSLATE_NOOP("SeedData", "This app is running. Quit it first, then its cache can go.")};
constexpr Text C3{
    QT_TRANSLATE_NOOP("SeedData", "A cache of macOS. macOS rebuilds it, some parts at once while it runs.")};
constexpr Text L1{QT_TRANSLATE_NOOP("SeedData", "A log file. Nothing reads old logs.")};
constexpr Text T1{QT_TRANSLATE_NOOP("SeedData", "Dovrane empties the Trash after you confirm. This cannot be undone.")};
constexpr Text I1{QT_TRANSLATE_NOOP("SeedData", "An installer you downloaded. The installed app does not need it.")};
constexpr Text I2{
    QT_TRANSLATE_NOOP("SeedData", "An archive in Downloads. It may hold something you unpacked nowhere else.")};
constexpr Text M1{QT_TRANSLATE_NOOP("SeedData", "A copy of an attachment. The original stays in the email.")};
constexpr Text M2{QT_TRANSLATE_NOOP("SeedData", "Manage attachments in Messages.")};
constexpr Text B1{QT_TRANSLATE_NOOP("SeedData", "A full device backup. Keep the newest one of each device you use.")};
constexpr Text S1{QT_TRANSLATE_NOOP("SeedData", "Deleting asks for your administrator password and cannot be undone.")};
constexpr Text X1{QT_TRANSLATE_NOOP("SeedData", "Build products. Xcode makes them again on the next build.")};
constexpr Text X2{QT_TRANSLATE_NOOP(
    "SeedData", "Debug files for one device version. Xcode copies them again when you connect that device.")};
constexpr Text X3{
    QT_TRANSLATE_NOOP("SeedData", "Your archived builds with their debug symbols. Keep the ones you released.")};
constexpr Text D1{
    QT_TRANSLATE_NOOP("SeedData", "Belongs to an Xcode version you no longer have. Remove it on the Developer page.")};
constexpr Text D2{QT_TRANSLATE_NOOP("SeedData", "A simulator with its apps and data.")};
constexpr Text K1{
    QT_TRANSLATE_NOOP("SeedData", "Shrink it in Docker Desktop > Settings > Resources, or with docker system prune.")};
constexpr Text K2{QT_TRANSLATE_NOOP("SeedData", "Downloaded packages. Homebrew loads them again when needed.")};
constexpr Text K3{QT_TRANSLATE_NOOP("SeedData", "Downloaded packages. npm loads them again when needed.")};
constexpr Text K4{QT_TRANSLATE_NOOP("SeedData", "Downloaded packages. pnpm loads them again when needed.")};
constexpr Text K5{QT_TRANSLATE_NOOP("SeedData", "Downloaded packages. Cargo loads them again when needed.")};
constexpr Text J1{QT_TRANSLATE_NOOP(
    "SeedData", "harbor-web was last changed 74 days ago. Running npm install brings this folder back.")};
constexpr Text J2{QT_TRANSLATE_NOOP(
    "SeedData", "tide-engine was last changed 121 days ago. Running cargo build brings this folder back.")};
constexpr Text J3{QT_TRANSLATE_NOOP(
    "SeedData", "forecast was last changed 45 days ago. Running pip install brings this folder back.")};
} // namespace Reason

struct ItemRow {
    CategoryID category;
    Text name; // empty: the item takes its file name
    const char* path;
    std::int64_t size;
    std::int64_t files;
    int days;
    const char* source;
    Safety safety;
    CleanupAction action;
    Text reason;
    // A backup's day, "2024-03-14": its name ends with it as the window's language writes dates,
    // as a real backup's does.
    const char* backedUp = nullptr;
};

// Noon of an ISO day in the local time zone, so that no zone moves it to another day.
Date localNoon(const char* isoDay) {
    const QDateTime noon(QDate::fromString(QString::fromLatin1(isoDay), Qt::ISODate), QTime(12, 0));
    return Date::fromUnix(double(noon.toSecsSinceEpoch()));
}

using enum CategoryID;
using enum Safety;
// CategoryID and CleanupAction both name a case "trash".
constexpr auto moveToTrash = CleanupAction::trash;
constexpr auto showOnly = CleanupAction::showOnly;
constexpr auto emptyTrash = CleanupAction::emptyTrash;
using namespace Reason;

// Items of the snapshots category are built apart, below.
constexpr ItemRow itemRows[] = {
    {apps, {"Pixelmoor"}, "Applications/Pixelmoor.app", 14'200'000'000, 120, 3, "apps", keep, showOnly, A1},
    {apps, {"Tidepool"}, "Applications/Tidepool.app", 9'800'000'000, 120, 3, "apps", keep, showOnly, A1},
    {apps, {"Notewell"}, "Applications/Notewell.app", 1'400'000'000, 120, 3, "apps", keep, showOnly, A1},
    {apps,
     {QT_TRANSLATE_NOOP("SeedData", "41 more apps")},
     "Applications/Other",
     22'800'000'000,
     120,
     3,
     "apps",
     keep,
     showOnly,
     A1},
    {personal,
     {QT_TRANSLATE_NOOP("SeedData", "Pictures")},
     "Pictures",
     96'500'000'000,
     120,
     3,
     "personal",
     keep,
     showOnly,
     P1},
    {personal,
     {QT_TRANSLATE_NOOP("SeedData", "Documents")},
     "Documents",
     38'000'000'000,
     120,
     3,
     "personal",
     keep,
     showOnly,
     P1},
    {personal,
     {QT_TRANSLATE_NOOP("SeedData", "Movies")},
     "Movies",
     31'000'000'000,
     120,
     3,
     "personal",
     keep,
     showOnly,
     P1},
    {personal, {"Downloads"}, "Downloads", 13'000'000'000, 120, 3, "personal", keep, showOnly, P1},
    {personal,
     {QT_TRANSLATE_NOOP("SeedData", "Music")},
     "Music",
     12'000'000'000,
     120,
     3,
     "personal",
     keep,
     showOnly,
     P1},
    {personal,
     {QT_TRANSLATE_NOOP("SeedData", "iCloud Drive (on this Mac)")},
     "Library/Mobile Documents",
     8'000'000'000,
     120,
     3,
     "personal",
     keep,
     showOnly,
     P1},
    {personal,
     {QT_TRANSLATE_NOOP("SeedData", "Desktop")},
     "Desktop",
     6'100'000'000,
     120,
     3,
     "personal",
     keep,
     showOnly,
     P1},
    {caches,
     {"Lumen Browser"},
     "Library/Caches/com.example.lumen",
     8'400'000'000,
     18'400,
     0,
     "caches.app",
     safe,
     moveToTrash,
     C1},
    {caches,
     {"Pixelmoor"},
     "Library/Caches/com.example.pixelmoor",
     6'200'000'000,
     2'310,
     2,
     "caches.app",
     safe,
     moveToTrash,
     C1},
    // Truncated from 4.1 GB, as the demo figures were first written.
    {caches,
     {"Tidepool"},
     "Library/Caches/com.example.tidepool",
     4'099'999'999,
     980,
     1,
     "caches.running",
     review,
     moveToTrash,
     C2},
    {caches,
     {"Atlas Maps"},
     "Library/Caches/com.example.atlas",
     2'900'000'000,
     4'120,
     40,
     "caches.app",
     safe,
     moveToTrash,
     C1},
    {caches,
     {"Notewell"},
     "Library/Caches/com.example.notewell",
     1'300'000'000,
     310,
     5,
     "caches.app",
     safe,
     moveToTrash,
     C1},
    {caches,
     {"Safari"},
     "Library/Caches/com.apple.Safari",
     1'200'000'000,
     640,
     0,
     "caches.apple",
     review,
     moveToTrash,
     C3},
    {logs,
     {QT_TRANSLATE_NOOP("SeedData", "Crash reports")},
     "Library/Logs/DiagnosticReports",
     1'100'000'000,
     210,
     12,
     "logs",
     safe,
     moveToTrash,
     L1},
    {logs, {"Pixelmoor"}, "Library/Logs/Pixelmoor", 1'200'000'000, 44, 2, "logs", safe, moveToTrash, L1},
    {trash, {QT_TRANSLATE_NOOP("SeedData", "Trash")}, ".Trash", 6'800'000'000, 312, 1, "trash", safe, emptyTrash, T1},
    {installers, {}, "Downloads/Pixelmoor-4.2.dmg", 3'100'000'000, 1, 61, "installers.image", safe, moveToTrash, I1},
    {installers, {}, "Downloads/Tidepool-Setup.pkg", 2'400'000'000, 1, 33, "installers.image", safe, moveToTrash, I1},
    {installers,
     {},
     "Downloads/Fotos-Urlaub.zip",
     3'900'000'000,
     1,
     120,
     "installers.archive",
     review,
     moveToTrash,
     I2},
    {mailDownloads,
     {QT_TRANSLATE_NOOP("SeedData", "42 opened attachments")},
     "Library/Containers/com.apple.mail/Data/Library/Mail Downloads/A1",
     1'600'000'000,
     42,
     9,
     "mail.downloads",
     safe,
     moveToTrash,
     M1},
    {messages,
     {QT_TRANSLATE_NOOP("SeedData", "Attachments")},
     "Library/Messages/Attachments",
     18'700'000'000,
     5'400,
     0,
     "messages",
     keep,
     showOnly,
     M2},
    {iosBackups,
     {"iPhone"},
     "Library/Application Support/MobileSync/Backup/A",
     14'600'000'000,
     90'000,
     600,
     "backups.ios",
     review,
     moveToTrash,
     B1,
     "2024-03-14"},
    {iosBackups,
     {"iPad"},
     "Library/Application Support/MobileSync/Backup/B",
     7'400'000'000,
     40'000,
     61,
     "backups.ios",
     review,
     moveToTrash,
     B1,
     "2026-09-02"},
    {xcode,
     {"Harbor"},
     "Library/Developer/Xcode/DerivedData/Harbor-a",
     9'600'000'000,
     31'000,
     45,
     "xcode.derivedData",
     safe,
     moveToTrash,
     X1},
    {xcode,
     {"Logbook"},
     "Library/Developer/Xcode/DerivedData/Logbook-b",
     5'800'000'000,
     18'000,
     2,
     "xcode.derivedData",
     safe,
     moveToTrash,
     X1},
    {xcode,
     {"Sketchpad"},
     "Library/Developer/Xcode/DerivedData/Sketchpad-c",
     2'800'000'000,
     9'000,
     140,
     "xcode.derivedData",
     safe,
     moveToTrash,
     X1},
    {xcode,
     {"iOS 18.6"},
     "Library/Developer/Xcode/iOS DeviceSupport/18.6",
     8'900'000'000,
     2'000,
     300,
     "xcode.deviceSupport",
     safe,
     moveToTrash,
     X2},
    {xcode,
     {"iOS 26.1"},
     "Library/Developer/Xcode/iOS DeviceSupport/26.1",
     7'800'000'000,
     2'000,
     4,
     "xcode.deviceSupport",
     safe,
     moveToTrash,
     X2},
    {xcode,
     {QT_TRANSLATE_NOOP("SeedData", "Archives 2025")},
     "Library/Developer/Xcode/Archives/2025",
     6'400'000'000,
     600,
     250,
     "xcode.archives",
     review,
     moveToTrash,
     X3},
    {simulators,
     {"iPhone 15 (iOS 17.5)"},
     "Library/Developer/CoreSimulator/Devices/A",
     14'200'000'000,
     120,
     3,
     "simulators.unavailable",
     safe,
     showOnly,
     D1},
    {simulators,
     {"iPad Air (iOS 17.5)"},
     "Library/Developer/CoreSimulator/Devices/B",
     11'300'000'000,
     120,
     3,
     "simulators.unavailable",
     safe,
     showOnly,
     D1},
    {simulators,
     {"iPhone 17 Pro (iOS 26.1)"},
     "Library/Developer/CoreSimulator/Devices/C",
     13'100'000'000,
     120,
     0,
     "simulators.device",
     review,
     showOnly,
     D2},
    {docker,
     {"Docker.raw"},
     "Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw",
     38'000'000'000,
     1,
     0,
     "docker",
     keep,
     showOnly,
     K1},
    {packageCaches,
     {"Homebrew"},
     "Library/Caches/Homebrew",
     4'600'000'000,
     380,
     6,
     "packages.homebrew",
     safe,
     moveToTrash,
     K2},
    {packageCaches, {"npm"}, ".npm/_cacache", 3'800'000'000, 61'000, 1, "packages.npm", safe, moveToTrash, K3},
    {packageCaches, {"pnpm"}, "Library/pnpm/store", 1'900'000'000, 40'000, 8, "packages.pnpm", safe, moveToTrash, K4},
    {packageCaches,
     {"Cargo"},
     ".cargo/registry/cache",
     1'200'000'000,
     900,
     30,
     "packages.cargo",
     safe,
     moveToTrash,
     K5},
    {projects,
     {"harbor-web/node_modules"},
     "Documents/Code/harbor-web/node_modules",
     1'400'000'000,
     48'000,
     74,
     "projects.node_modules",
     safe,
     moveToTrash,
     J1},
    {projects,
     {"tide-engine/target"},
     "Documents/Code/tide-engine/target",
     2'600'000'000,
     9'000,
     121,
     "projects.target",
     safe,
     moveToTrash,
     J2},
    // "projects." followed by the folder name ".venv".
    {projects,
     {"forecast/.venv"},
     "Documents/Code/forecast/.venv",
     700'000'000,
     12'000,
     45,
     "projects..venv",
     safe,
     moveToTrash,
     J3},
};

// Three local snapshots 0.1, 1.1 and 2.1 days old, counted in tenths of a day so that the URL
// digits come out exact: "tmsnapshot:2026-11-02-09301", "…-01-093011", "…-00-093021".
std::vector<CleanupItem> snapshotItems() {
    std::vector<CleanupItem> items;
    for (int tenths : {1, 11, 21}) {
        const std::string text =
            "tmsnapshot:2026-11-0" + std::to_string((30 - tenths) / 10) + "-0930" + std::to_string(tenths);
        const Date date = Date::now().adding(-tenths * day / 10);
        items.emplace_back(*Url::parse(text), DateText::abbreviatedDateShortTime(date), 0, 1, date, Reason::S1(),
                           "snapshots.local", review, CleanupAction::deleteSnapshot);
    }
    return items;
}

} // namespace

Url home() { return Url::fromPath("/Users/demo"); }

ScanResult scan() {
    std::vector<Category> categories;
    for (CategoryID id : allCategoryIDs) {
        if (id == other)
            continue;
        if (id == snapshots) {
            categories.emplace_back(snapshots, 0, snapshotItems(), true, snapshotsNote());
            continue;
        }
        std::vector<CleanupItem> items;
        for (const ItemRow& row : itemRows) {
            if (row.category != id)
                continue;
            std::optional<std::string> name;
            if (!row.name.empty())
                name = row.name();
            if (row.backedUp)
                name = name.value_or("") + ", " + DateText::abbreviatedDate(localNoon(row.backedUp));
            items.emplace_back(home().appending(row.path), std::move(name), row.size, row.files,
                               Date::now().adding(-row.days * day), row.reason(), row.source, row.safety, row.action);
        }
        categories.emplace_back(id, std::nullopt, std::move(items));
    }
    ScanResult result;
    result.date = Date::now().adding(-240);
    result.volume = volumeName;
    result.total = volumeTotal;
    result.free = volumeFree;
    result.available = volumeAvailable;
    result.categories = std::move(categories);
    result.computeOther();
    return result;
}

VolumeInfo volume() { return VolumeInfo{volumeName, volumeTotal, volumeFree, volumeAvailable}; }

} // namespace dovrane::SeedData
