#include "DovraneKit/scan/DiskScanner.h"

#include "scan/ScanCollectors.h"

#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/MoveRights.h"
#include "DovraneKit/system/SizeCounter.h"
#include "DovraneKit/system/ToolPaths.h"
#include "DovraneKit/trash/FreedesktopTrash.h"
#include "DovraneKit/trash/Trasher.h"
#include "support/FakeRunner.h"
#include "support/Patience.h"
#include "support/ScannerFixture.h"
#include "support/TestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

CleanupItem itemAt(const std::string& path, std::int64_t size) {
    return CleanupItem(Url::fromPath(path), std::nullopt, size, 4, std::nullopt, "r", "s", Safety::keep,
                       CleanupAction::showOnly);
}

std::vector<std::string> paths(const Category& category) {
    std::vector<std::string> result;
    for (const auto& item : category.items)
        result.push_back(item.url.path());
    std::sort(result.begin(), result.end());
    return result;
}

const ToolPaths& tools() { return ToolPaths::current(); }

// Every item the scan offers to move, planned and moved to the Trash as a cleanup does, then put
// back: a line for each item refused, not moved or not put back, and a line for one that went
// through a link.
std::string moveAndPutBackEveryOfferedItem(const ScanResult& scan, const Url& home) {
    std::vector<Trasher::Candidate> candidates;
    for (const Category& category : scan.categories)
        for (const CleanupItem& item : category.items)
            if (item.action == CleanupAction::trash)
                candidates.push_back({item.url, item.size, item.fileCount, false});
    const Trasher trasher{DeletionGuard(home), Url::fromPath(FreedesktopTrash::homeTrashFiles(home.path()))};
    const TrashPlan plan = trasher.plan(candidates);
    std::string problems;
    for (const Url& refused : plan.refused)
        problems += "refused " + refused.path() + "; ";
    const Trasher::Outcome outcome = trasher.execute(plan);
    for (const Trasher::Failure& failure : outcome.failed)
        problems += "not moved " + failure.path.path() + ": " + failure.reason + "; ";
    for (const RemovedItem& removed : outcome.removed) {
        if (trasher.putBack(removed) != Trasher::PutBackResult::restored())
            problems += "not put back " + removed.originalPath.path() + "; ";
        const std::string path = trasher.guardrail.inCanonicalHome(removed.originalPath.path());
        if (DeletionGuard::canonical(path) != path)
            problems += "through a link " + removed.originalPath.path() + "; ";
    }
    if (candidates.empty())
        problems += "nothing offered; ";
    return problems;
}

// The items of a category by name.
std::map<std::string, CleanupItem> itemsByName(const ScanResult& scan, CategoryID id) {
    std::map<std::string, CleanupItem> items;
    for (const CleanupItem& item : scan.category(id)->items)
        items.emplace(item.name, item);
    return items;
}

} // namespace

// ---- Scan ---------------------------------------------------------------------------------

TEST(DiskScanner, FixedOrderWhateverFinishesLastAndOneProgressCallAtATime) {
    ScannerFixture f;
    writeFileOfSize(f / "Library/Logs/app.log", 3000);
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::tuple<CategoryID, int, int, std::thread::id>> calls;
    // The snapshots tool answers only once every other category was reported.
    f.runner->answer(tools().tmutil, "2024-05-01-093012\n");
    f.runner->beforeAnswering([&](const std::string& executable) {
        std::unique_lock lock(mutex);
        if (executable == tools().tmutil)
            changed.wait_for(lock, patient(std::chrono::seconds(7)), [&] { return calls.size() >= 14; });
    });
    std::atomic<bool> inside = false, overlapped = false;
    auto result = f.scanner().scan([&](CategoryID id, int finished, int total) {
        overlapped = overlapped || inside.exchange(true);
        {
            std::lock_guard lock(mutex);
            calls.emplace_back(id, finished, total, std::this_thread::get_id());
        }
        changed.notify_all();
        inside = false;
    });

    ASSERT_EQ(calls.size(), 15u);
    EXPECT_FALSE(overlapped);
    std::set<CategoryID> reported;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        auto [id, finished, total, thread] = calls[i];
        EXPECT_EQ(finished, int(i) + 1);
        EXPECT_EQ(total, 15);
        EXPECT_EQ(thread, std::this_thread::get_id());
        EXPECT_NE(id, CategoryID::other);
        reported.insert(id);
    }
    EXPECT_EQ(reported.size(), 15u);
    EXPECT_EQ(std::get<0>(calls.back()), CategoryID::snapshots);

    ASSERT_EQ(result.categories.size(), 16u);
    for (std::size_t i = 0; i < allCategoryIDs.size(); ++i)
        EXPECT_EQ(result.categories[i].id, allCategoryIDs[i]);
    EXPECT_EQ(result.category(CategoryID::snapshots)->items.size(), 1u);
    EXPECT_EQ(result.date, f.now);
}

TEST(DiskScanner, MissingHomeGivesEmptyCategoriesAndFallbackVolume) {
    TempDir parent;
    DiskScanner scanner(Url::fromPath(parent / "gone"), std::vector<Url>{}, ScanSettings{},
                        std::make_shared<FakeRunner>());
    auto result = scanner.scan({});
    ASSERT_EQ(result.categories.size(), 16u);
    for (const auto& category : result.categories)
        EXPECT_TRUE(category.items.empty() && category.size == 0) << rawValue(category.id);
    EXPECT_EQ((std::tuple{result.volume, result.total, result.free, result.available}),
              (std::tuple{std::string("This computer"), 0, 0, 0}));
    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(scanner.scan({}).volume, "Dieser Computer");
}

TEST(DiskScanner, StoppedScanReturnsWithPartialFiguresAndRunsNoTool) {
    ScannerFixture f;
    for (int i = 0; i < 6000; ++i)
        writeFile(f / ("Documents/many/file" + std::to_string(i)), "x");
    writeFile(f / "Projects/shop/package.json", "{}");
    writeFileOfSize(f / "Projects/shop/node_modules/dep.js", 4000);
    setTimesRecursively(f / "Projects", daysAgo(60));
    f.settings.projectFolders = {f / "Projects"};
    ASSERT_EQ(f.scanner().collect(CategoryID::projects).items.size(), 1u);

    std::stop_source stop;
    stop.request_stop();
    int progressCalls = 0;
    auto result = f.scanner().scan([&](CategoryID, int, int) { ++progressCalls; }, stop.get_token());
    EXPECT_EQ(progressCalls, 15);
    EXPECT_EQ(result.categories.size(), 16u);
    EXPECT_LT(result.category(CategoryID::personal)->items.at(0).fileCount, 6000);
    EXPECT_TRUE(result.category(CategoryID::projects)->items.empty());
    EXPECT_TRUE(f.runner->calls().empty());
}

// ---- Exclusion and protection -------------------------------------------------------------

TEST(DiskScanner, ExcludedPathsDropItemsByWholeComponents) {
    ScannerFixture f;
    writeFileOfSize(f / "Library/Logs/app.log", 3000);
    writeFileOfSize(f / "Library/Logs/Downloads/x.log", 3000);
    writeFileOfSize(f / "Library/Logs/Downloads2/y.log", 3000);
    writeFile(f / "Library/Logs/.DS_Store", "x");

    f.settings.excludedPaths = {f / "Library/Logs/Down", f / "Library/Logs/app.log/"};
    EXPECT_EQ(paths(f.scanner().collect(CategoryID::logs)),
              (std::vector<std::string>{f / "Library/Logs/Downloads", f / "Library/Logs/Downloads2",
                                        f / "Library/Logs/app.log"}));
    f.settings.excludedPaths = {f / "Library/Logs/Downloads", f / "Library/Logs/app.log"};
    auto logs = f.scanner().collect(CategoryID::logs);
    EXPECT_EQ(paths(logs), std::vector<std::string>{f / "Library/Logs/Downloads2"});
    EXPECT_EQ(logs.size, logs.items[0].size);
    f.settings.excludedPaths = {f / "Library"};
    EXPECT_TRUE(f.scanner().collect(CategoryID::logs).items.empty());

    // "/" drops everything, snapshots (which are no files) included.
    writeFileOfSize(f / "Documents/a.txt", 3000);
    f.runner->answer(tools().tmutil, "2024-05-01-093012\n");
    f.settings.excludedPaths = {"/"};
    auto result = f.scanner().scan({});
    for (const auto& category : result.categories) {
        if (category.id != CategoryID::other) {
            EXPECT_EQ(category, Category(category.id, 0, {}, category.sizeIsEstimate, category.note))
                << rawValue(category.id);
        }
    }
    EXPECT_EQ(result.category(CategoryID::other)->size, result.used());
}

// A last use after the scan (a file dated 2100, one read an hour ahead of the scan, the folder
// holding one) counts as the scan's own time, in a scan and in one saved before that held; an
// earlier one stays as it was.
TEST(DiskScanner, NoLastUseComesAfterTheScan) {
    ScannerFixture f;
    f.now = Date::now().adding(86400);              // ahead of the times that reading the folders leaves
    const Date far = Date::fromUnix(4'102'444'800); // 2100-01-01
    const Date old = f.now.adding(-10 * 86400.0);
    writeFileOfSize(f / "Library/Logs/far.log", 3000);
    setTimes(f / "Library/Logs/far.log", far);
    writeFileOfSize(f / "Library/Logs/soon.log", 3000);
    setTimes(f / "Library/Logs/soon.log", old);
    const timespec soon[2] = {{time_t(f.now.unixSeconds()) + 3600, 0}, {0, UTIME_OMIT}};
    ASSERT_EQ(utimensat(AT_FDCWD, (f / "Library/Logs/soon.log").c_str(), soon, 0), 0);
    writeFileOfSize(f / "Library/Logs/old.log", 3000);
    setTimes(f / "Library/Logs/old.log", old);
    writeFileOfSize(f / "Downloads/far.bin", 3000);
    setTimes(f / "Downloads/far.bin", far);

    const ScanResult scan = f.scanner().scan({});
    std::map<std::string, std::optional<Date>> lastUsed;
    for (CategoryID id : {CategoryID::logs, CategoryID::personal})
        for (const CleanupItem& item : scan.category(id)->items)
            lastUsed[item.name] = item.lastUsed;
    EXPECT_EQ(lastUsed["far.log"], f.now);
    EXPECT_EQ(lastUsed["soon.log"], f.now);
    EXPECT_EQ(lastUsed["Downloads"], f.now);
    ASSERT_TRUE(lastUsed["old.log"]);
    EXPECT_NEAR(lastUsed["old.log"]->secondsSinceReference, old.secondsSinceReference, 0.001);

    ScanResult saved = scan;
    saved.categories[0].items = {itemAt(f / "Library/Logs/far.log", 3000)};
    saved.categories[0].items[0].lastUsed = far;
    saved.capLastUse();
    EXPECT_EQ(saved.categories[0].items[0].lastUsed, scan.date);
}

TEST(DiskScanner, ProtectedTrashItemsBecomeShowOnlyOthersAreNotChecked) {
    ScannerFixture f;
    writeFileOfSize(f / "Library/Logs/Shots.photoslibrary/db", 5000);
    writeFileOfSize(f / "Library/Logs/plain.log", 5000);
    writeFileOfSize(f / ".local/share/Trash/files/x", 5000);
    writeFileOfSize(f / ".ssh/Install macOS Sonoma.app/Contents/x", 5000);
    f.applicationFolders = {Url::fromPath(f / ".ssh")};
    auto scanner = f.scanner();

    auto logs = scanner.collect(CategoryID::logs);
    auto raw = ScanCollectors(scanner).children(Url::fromPath(f / "Library/Logs"), CategoryID::logs, "logs",
                                                Safety::safe, "A log file. Nothing reads old logs.");
    ASSERT_EQ(logs.items.size(), 2u);
    ASSERT_EQ(raw.items.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        CleanupItem expected = raw.items[i];
        expected.lastUsed = logs.items[i].lastUsed; // the first walk read the folders: newer access times
        expected.ground = logs.items[i].ground;     // noted by the scanner, for a move's check
        if (expected.name == "Shots.photoslibrary")
            expected.action = CleanupAction::showOnly;
        EXPECT_EQ(logs.items[i], expected);
    }
    EXPECT_EQ(logs.size, raw.items[0].size + raw.items[1].size);
    EXPECT_EQ(scanner.collect(CategoryID::installers).items.at(0).action, CleanupAction::showOnly);

    // The Trash is a protected tree, yet emptying it is an action of its own and stays.
    ASSERT_FALSE(
        DeletionGuard(Url::fromPath(f.home.path())).check(Url::fromPath(f / ".local/share/Trash/files")).isAllowed());
    EXPECT_EQ(scanner.collect(CategoryID::trash).items.at(0).action, CleanupAction::emptyTrash);
}

// Another user's folders, in the home or in a shared project folder, and whatever the user may
// not move by their own rights are for review, each reason saying why; what is offered as safe
// is what the user's own move then takes, with no administrator asked.
TEST(DiskScanner, OnlyWhatTheUserMayMoveIsSafeAndTheirMoveTakesIt) {
    if (geteuid() != 0)
        GTEST_SKIP() << "files of another user can only be made as root";
    const uid_t stranger = 4242; // a user the user database does not know
    ASSERT_EQ(MoveRights::userName(stranger), "4242");
    ScannerFixture f;
    TempDir shared; // like /tmp: everyone may write, the sticky bit keeps each one's entries theirs
    for (const char* cache : {"mine", "roots", "open", "locked"})
        writeFileOfSize(f / ".cache/" + cache + "/data", 4000);
    makeFolder(f / ".local/share/Trash/files");
    makeFolder(f / ".local/share/Trash/info");
    for (const char* project : {"", "/mine", "/theirs"}) {
        writeFile(shared.path() + project + "/package.json", "{}");
        writeFileOfSize(shared.path() + project + "/node_modules/dep.js", 4000);
    }
    setTimesRecursively(shared.path(), daysAgo(60));
    f.settings.projectFolders = {shared.path()};

    const OrdinaryUser user = ordinaryUser();
    ASSERT_EQ(chmod(f.home.path().c_str(), 0755), 0);
    chownRecursively(f.home.path(), user.user, user.group);
    chownRecursively(f / ".cache/roots", 0, 0);
    chownRecursively(f / ".cache/open", stranger, stranger);
    ASSERT_EQ(chmod((f / ".cache/open").c_str(), 0777), 0);
    ASSERT_EQ(chmod((f / ".cache/locked").c_str(), 0555), 0);
    ASSERT_EQ(chmod(shared.path().c_str(), 01777), 0);
    chownRecursively(shared / "mine", user.user, user.group);
    chownRecursively(shared / "node_modules", stranger, stranger);
    ASSERT_EQ(chmod((shared / "node_modules").c_str(), 0777), 0);

    const std::string report = asOrdinaryUser([&] {
        const DiskScanner scanner = f.scanner();
        std::vector<std::string> lines;
        std::vector<Trasher::Candidate> safe, review;
        for (CategoryID id : {CategoryID::caches, CategoryID::projects}) {
            for (const CleanupItem& item : scanner.collect(id).items) {
                lines.push_back(item.url.path() + " " + std::string(rawValue(item.safety)) + ": " + item.reason);
                (item.safety == Safety::safe ? safe : review).push_back({item.url, item.size, item.fileCount, false});
            }
        }
        {
            ScopedEnv german("APP_LANG", "de");
            for (const CleanupItem& item : scanner.collect(CategoryID::caches).items)
                if (item.name == "roots")
                    lines.push_back("de: " + item.reason);
        }
        auto move = [&](const std::vector<Trasher::Candidate>& items, const char* label) {
            const Trasher trasher{DeletionGuard(Url::fromPath(f.home.path())),
                                  Url::fromPath(FreedesktopTrash::homeTrashFiles(f.home.path())),
                                  [&](const std::string&) {
                                      lines.push_back(std::string(label) + " asked the administrator");
                                      return false;
                                  }};
            const Trasher::Outcome outcome = trasher.execute(trasher.plan(items));
            for (const RemovedItem& removed : outcome.removed)
                lines.push_back(std::string(label) + " moved " + removed.originalPath.path());
        };
        move(safe, "safe:");
        move(review, "review:");
        std::sort(lines.begin(), lines.end());
        std::string text;
        for (const std::string& line : lines)
            text += line + "\n";
        return text;
    });

    const std::string cache = "A cache. The app rebuilds it when needed.";
    const std::string project = " was last changed 60 days ago. Running npm install brings this folder back.";
    const std::string admin = "Moving it asks for your administrator password.";
    std::vector<std::string> expected = {
        f / ".cache/mine safe: " + cache,
        f / ".cache/locked review: " + cache + " " + admin,
        f / ".cache/open review: " + cache + " This belongs to the user 4242. Ask them before you move it.",
        f / ".cache/roots review: " + cache + " This belongs to the user root. " + admin,
        shared / "mine/node_modules safe: mine" + project,
        shared / "node_modules review: " + Path::lastComponent(shared.path()) + project +
            " This belongs to the user 4242. " + admin,
        shared / "theirs/node_modules review: theirs" + project + " This belongs to the user root. " + admin,
        "de: Ein Cache. Die App legt ihn bei Bedarf neu an. Das gehört dem Benutzer root. Verschieben fragt nach "
        "deinem Administrator-Passwort.",
        "safe: moved " + f / ".cache/mine",
        "safe: moved " + shared / "mine/node_modules",
        // The stranger's open folder in the user's own folder the user may move; the rest only
        // the administrator.
        "review: moved " + f / ".cache/open",
    };
    expected.insert(expected.end(), 4, "review: asked the administrator");
    std::sort(expected.begin(), expected.end());
    std::string text;
    for (const std::string& line : expected)
        text += line + "\n";
    EXPECT_EQ(report, text);
}

// ---- Inline collectors --------------------------------------------------------------------

TEST(DiskScanner, ProjectsNoteOnlyWithoutProjectFolders) {
    ScannerFixture f;
    auto none = f.scanner().collect(CategoryID::projects);
    EXPECT_TRUE(none.items.empty());
    EXPECT_EQ(none.note, "Choose the folders with your projects in Settings > Scan.");

    writeFile(f / "Code/fresh/package.json", "{}");
    writeFileOfSize(f / "Code/fresh/node_modules/dep.js", 4000);
    f.settings.projectFolders = {f / "Code", f / "Nowhere"};
    auto fresh = f.scanner().collect(CategoryID::projects);
    EXPECT_TRUE(fresh.items.empty());
    EXPECT_FALSE(fresh.note);

    setTimesRecursively(f / "Code", daysAgo(45));
    f.settings.projectAgeDays = 60;
    EXPECT_TRUE(f.scanner().collect(CategoryID::projects).items.empty());
    f.settings.projectAgeDays = 30;
    EXPECT_EQ(f.scanner().collect(CategoryID::projects).items.size(), 1u);
}

// A settings file may hold what the folder picker never gives: an empty or relative folder
// names none (and alone leaves the note), and a folder inside another lists its items once.
TEST(DiskScanner, ProjectFoldersListEachItemOnceAndOnlyAbsoluteOnesCount) {
    ScannerFixture f;
    f.settings.projectFolders = {"", "relative"};
    auto none = f.scanner().collect(CategoryID::projects);
    EXPECT_TRUE(none.items.empty());
    EXPECT_EQ(none.note, "Choose the folders with your projects in Settings > Scan.");

    writeFile(f / "Code/web/package.json", "{}");
    writeFileOfSize(f / "Code/web/node_modules/dep.js", 4000);
    writeFile(f / "Code/api/Cargo.toml", "x");
    writeFileOfSize(f / "Code/api/target/out.bin", 9000);
    setTimesRecursively(f / "Code", daysAgo(45));
    f.settings.projectFolders = {"", f / "Code", "relative", f / "Code/web", f / "Code/"};
    auto found = f.scanner().collect(CategoryID::projects);
    EXPECT_EQ(paths(found), (std::vector<std::string>{f / "Code/api/target", f / "Code/web/node_modules"}));
    EXPECT_EQ(found.size, SizeCounter::measure(Url::fromPath(f / "Code/api/target")).size +
                              SizeCounter::measure(Url::fromPath(f / "Code/web/node_modules")).size);
    EXPECT_FALSE(found.note);
}

TEST(DiskScanner, MessagesAndDockerAreOneItemWhenSomethingIsThere) {
    ScannerFixture f;
    auto scanner = f.scanner();
    EXPECT_TRUE(scanner.collect(CategoryID::messages).items.empty());
    EXPECT_TRUE(scanner.collect(CategoryID::docker).items.empty());
    EXPECT_EQ(scanner.collect(CategoryID::other), Category(CategoryID::other));

    writeFile(f / "Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw");
    writeFileOfSize(f / "Library/Messages/Attachments/ab/photo.heic", 9000);
    auto docker = scanner.collect(CategoryID::docker);
    ASSERT_EQ(docker.items.size(), 1u);
    EXPECT_EQ(docker.items[0].name, "Docker.raw");
    EXPECT_EQ(docker.items[0].size, 0);
    EXPECT_EQ(docker.items[0].fileCount, 1);

    auto messages = scanner.collect(CategoryID::messages);
    ASSERT_EQ(messages.items.size(), 1u);
    EXPECT_EQ(messages.items[0].url, Url::fromPath(f / "Library/Messages/Attachments"));
    EXPECT_GE(messages.size, 9000);
    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(scanner.collect(CategoryID::messages).items[0].name, "Anhänge");
}

// A Flatpak app's cache goes by the app's installed name on every scan: the first scan of a
// fresh start, whose lookup knows no app yet, names it as the next one does. The apps and the
// caches share one listing of the Flatpak apps.
TEST(DiskScanner, AFlatpakCacheHasItsAppsNameWhetherOrNotTheLookupKnowsIt) {
    ScannerFixture f;
    writeFileOfSize(f / ".var/app/org.example.Pixelpaint/cache/tiles", 3000);
    writeFileOfSize(f / ".var/app/org.example.Gone/cache/x", 1000);
    DiskScanner scanner = f.scanner();
    InstalledApp pixelpaint;
    pixelpaint.bundleID = "org.example.Pixelpaint";
    pixelpaint.name = "Pixelpaint";
    pixelpaint.path = Url::fromPath(f / ".local/share/flatpak/app/org.example.Pixelpaint");
    auto listings = std::make_shared<std::atomic<int>>(0);
    scanner.flatpakApps = [pixelpaint, listings] {
        ++*listings;
        return std::vector<InstalledApp>{pixelpaint};
    };
    auto cacheNames = [](const ScanResult& result) {
        std::map<std::string, std::string> names; // folder → name
        for (const CleanupItem& item : result.category(CategoryID::caches)->items)
            names[Path::lastComponent(Path::parent(item.url.path()))] = item.name;
        return names;
    };
    const std::map<std::string, std::string> expected = {{"org.example.Pixelpaint", "Pixelpaint"},
                                                         {"org.example.Gone", "org.example.Gone"}};

    EXPECT_EQ(cacheNames(scanner.scan({})), expected);
    EXPECT_EQ(*listings, 1);

    // The loaded app list answers the lookup with names of its own; the installed name stands.
    scanner.appName = [](const std::string& id) -> std::optional<std::string> { return "Listed " + id; };
    const ScanResult again = scanner.scan({});
    EXPECT_EQ(cacheNames(again)["org.example.Pixelpaint"], "Pixelpaint");
    EXPECT_EQ(cacheNames(again)["org.example.Gone"], "Listed org.example.Gone");
    EXPECT_EQ(*listings, 2);
}

// ---- A Linux desktop's home ---------------------------------------------------------------

TEST(DiskScanner, ALinuxDesktopHomeIsReadWhereLinuxKeepsEachFolder) {
    ScannerFixture f;
    f.settings.installerAgeDays = 14;
    writeFileOfSize(f / ".cache/org.example.Editor/blob", 6000);
    for (const char* tool : {"pip", "yarn", "Homebrew", "pnpm"})
        writeFileOfSize(f / ".cache" + "/" + tool + "/blob", 3000);
    writeFileOfSize(f / "Videos/clip.mp4", 50000);
    writeFileOfSize(f / "Dokumente/brief.txt", 4000);
    writeFileOfSize(f / "Schreibtisch/notiz.txt", 4000);
    writeFile(f / ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/\"\n"
                                            "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
                                            "XDG_DOWNLOAD_DIR=\"$HOME/Téléchargements\"\n");
    writeFileOfSize(f / ".local/share/pnpm/store/v3/files/ab", 3000);
    writeFileOfSize(f / ".docker/desktop/vms/0/data/Docker.raw", 9000);
    for (const char* name : {"tool_1.0_amd64.deb", "tool-1.0.x86_64.RPM", "notes.txt"}) {
        writeFileOfSize(f / "Téléchargements" + "/" + name, 20000);
        setTimes(f / "Téléchargements" + "/" + name, daysAgo(30, f.now));
    }
    // A stray folder of the macOS name is not the Downloads folder the desktop names.
    writeFileOfSize(f / "Downloads/stray.iso", 20000);
    setTimes(f / "Downloads/stray.iso", daysAgo(30, f.now));

    const ScanResult result = f.scanner().scan(nullptr);
    auto category = [&](CategoryID id) { return *result.category(id); };
    auto byName = [](const Category& found) {
        std::map<std::string, CleanupItem> items;
        for (const auto& item : found.items)
            items.emplace(item.name, item);
        return items;
    };

    auto caches = category(CategoryID::caches);
    ASSERT_EQ(caches.items.size(), 1u) << "the package caches are not app caches";
    EXPECT_EQ(caches.items[0].url, Url::fromPath(f / ".cache/org.example.Editor"));
    EXPECT_EQ(caches.items[0].source, "caches.app");
    EXPECT_EQ(caches.items[0].action, CleanupAction::trash);

    auto packages = byName(category(CategoryID::packageCaches));
    EXPECT_EQ(packages["pip"].url, Url::fromPath(f / ".cache/pip"));
    EXPECT_EQ(packages["Yarn"].url, Url::fromPath(f / ".cache/yarn"));
    EXPECT_EQ(packages["Homebrew"].url, Url::fromPath(f / ".cache/Homebrew"));
    EXPECT_EQ(packages["pnpm"].url, Url::fromPath(f / ".local/share/pnpm/store"));
    EXPECT_EQ(packages.size(), 4u);

    auto installers = category(CategoryID::installers);
    ASSERT_EQ(installers.items.size(), 2u);
    for (const auto& item : installers.items) {
        EXPECT_EQ(item.source, "installers.image") << item.name;
        EXPECT_EQ(item.action, CleanupAction::trash) << item.name;
        EXPECT_EQ(item.url.deletingLastPathComponent(), Url::fromPath(f / "Téléchargements"));
    }

    // Each folder goes by the name it has on this home; the Downloads folder no longer counts
    // its installers.
    auto personal = byName(category(CategoryID::personal));
    EXPECT_EQ(personal.size(), 3u) << "the desktop is switched off and ~/Schreibtisch is nobody's";
    EXPECT_EQ(personal["Dokumente"].url, Url::fromPath(f / "Dokumente"));
    EXPECT_EQ(personal["Videos"].url, Url::fromPath(f / "Videos"));
    EXPECT_EQ(personal["Téléchargements"].url, Url::fromPath(f / "Téléchargements"));
    EXPECT_EQ(personal["Téléchargements"].size, SizeCounter::measure(Url::fromPath(f / "Téléchargements")).size -
                                                    installers.items[0].size - installers.items[1].size);
    EXPECT_FALSE(personal.contains("Movies"));
    EXPECT_FALSE(personal.contains("Downloads"));
    const DeletionGuard guard(Url::fromPath(f.home.path()));
    EXPECT_EQ(guard.check(Url::fromPath(f / "Téléchargements")).rule().value_or("allowed"), "home.folders");

    auto docker = category(CategoryID::docker);
    ASSERT_EQ(docker.items.size(), 1u);
    EXPECT_EQ(docker.items[0].url, Url::fromPath(f / ".docker/desktop/vms/0/data/Docker.raw"));

    ScopedEnv german("APP_LANG", "de");
    auto localized = byName(f.scanner().collect(CategoryID::personal));
    EXPECT_TRUE(localized.contains("Dokumente") && localized.contains("Videos") && !localized.contains("Filme"))
        << localized.size();
}

// ---- Double counting ----------------------------------------------------------------------

TEST(DiskScanner, InstallersAndProjectsComeOutOfThePersonalFolders) {
    const std::int64_t GB = 1'000'000'000;
    Category personal(CategoryID::personal, std::nullopt,
                      {itemAt("/h/Downloads", 10 * GB), itemAt("/h/Documents", 5 * GB), itemAt("/h/Desktop", GB)});
    Category installers(CategoryID::installers, std::nullopt,
                        {itemAt("/h/Downloads/old.dmg", 3 * GB), itemAt("/h/Downloads2/other.dmg", 2 * GB)});
    Category projects(
        CategoryID::projects, std::nullopt,
        {itemAt("/h/Documents/code/shop/node_modules", 4 * GB), itemAt("/h/Documents/api/target", 4 * GB)});
    Category logs(CategoryID::logs, std::nullopt, {itemAt("/h/Desktop/x.log", GB)});

    auto result = DiskScanner::deduplicateDownloads({logs, personal, installers, projects});
    Category expected = personal;
    expected.items[0].size = 7 * GB;
    expected.items[1].size = 0; // 8 GB of projects in a 5 GB folder
    expected.size = 8 * GB;
    EXPECT_EQ(result, (std::vector<Category>{logs, expected, installers, projects}));

    // Nothing inside: the input comes back as it was, even a size that is not the items' sum.
    std::vector<Category> alone = {Category(CategoryID::personal, 123, {itemAt("/h/Downloads", 10)}),
                                   Category(CategoryID::installers), Category(CategoryID::projects)};
    EXPECT_EQ(DiskScanner::deduplicateDownloads(alone), alone);
}

// ---- Homes laid out otherwise ---------------------------------------------------------------

// Folders of the home kept elsewhere behind links (Downloads, the caches folder, Flatpak's app
// data, a package cache, a project folder named in the settings) are read where they really are:
// what the scan offers moves from there and comes back there, and each personal folder keeps the
// name the home gives it. A link that appears after the scan is refused.
TEST(DiskScanner, FoldersLinkedElsewhereAreReadAndMovedWhereTheyReallyAre) {
    ScannerFixture f;
    TempDir elsewhere;
    const std::string there = DeletionGuard::canonical(elsewhere.path());
    f.settings.installerAgeDays = 14;
    writeFileOfSize(elsewhere / "dl-disk/old.iso", 20000);
    setTimes(elsewhere / "dl-disk/old.iso", daysAgo(30, f.now));
    writeFileOfSize(elsewhere / "caches/org.example.Editor/blob", 6000);
    writeFileOfSize(elsewhere / "var/app/org.example.Flat/cache/blob", 5000);
    writeFileOfSize(elsewhere / "cargo/registry/cache/crate", 4000);
    writeFile(elsewhere / "code/shop/package.json", "{}");
    writeFileOfSize(elsewhere / "code/shop/node_modules/x/index.js", 3000);
    setTimesRecursively(elsewhere / "code", daysAgo(100));
    makeFolder(f / "Library");
    makeSymlink(elsewhere / "dl-disk", f / "Downloads");
    makeSymlink(elsewhere / "caches", f / "Library/Caches");
    makeSymlink(elsewhere / "var", f / ".var");
    makeSymlink(elsewhere / "cargo", f / ".cargo");
    makeSymlink(elsewhere / "code", f / "code");
    f.settings.projectFolders = {f / "code"};
    DiskScanner scanner = f.scanner();
    scanner.flatpakApps = [] { return std::vector<InstalledApp>(); };

    const ScanResult scan = scanner.scan(nullptr);
    EXPECT_EQ(
        paths(*scan.category(CategoryID::caches)),
        (std::vector<std::string>{there + "/caches/org.example.Editor", there + "/var/app/org.example.Flat/cache"}));
    EXPECT_EQ(paths(*scan.category(CategoryID::installers)), std::vector<std::string>{there + "/dl-disk/old.iso"});
    EXPECT_EQ(itemsByName(scan, CategoryID::packageCaches)["Cargo"].url.path(), there + "/cargo/registry/cache");
    EXPECT_EQ(paths(*scan.category(CategoryID::projects)), std::vector<std::string>{there + "/code/shop/node_modules"});
    const CleanupItem downloads = itemsByName(scan, CategoryID::personal)["Downloads"];
    EXPECT_EQ(downloads.url.path(), there + "/dl-disk");
    EXPECT_EQ(downloads.size,
              SizeCounter::measure(downloads.url).size - scan.category(CategoryID::installers)->items.front().size);

    EXPECT_EQ(moveAndPutBackEveryOfferedItem(scan, scanner.home), "");
    EXPECT_EQ(Fs::readFile(elsewhere / "var/app/org.example.Flat/cache/blob")->size(), 5000u);
    EXPECT_EQ(Fs::list(elsewhere / "code/shop/node_modules"), std::vector<std::string>{"x"});

    // The project folder swapped for a link since the scan: its build folder stays.
    ASSERT_EQ(std::rename((elsewhere / "code/shop").c_str(), (elsewhere / "shop-real").c_str()), 0);
    makeSymlink(elsewhere / "shop-real", elsewhere / "code/shop");
    const Trasher trasher{DeletionGuard(scanner.home),
                          Url::fromPath(FreedesktopTrash::homeTrashFiles(scanner.home.path()))};
    const CleanupItem& built = scan.category(CategoryID::projects)->items.front();
    const Trasher::Outcome outcome = trasher.execute(trasher.plan({{built.url, built.size, built.fileCount, false}}));
    ASSERT_EQ(outcome.failed.size(), 1u);
    EXPECT_EQ(outcome.failed[0].reason,
              "A folder above this item is a link, and Dovrane moves nothing through a link.");
    EXPECT_TRUE(Fs::exists(elsewhere / "shop-real/node_modules/x/index.js"));

    // An excluded folder spelled through the link still excludes what is found there.
    f.settings.excludedPaths = {f / "Downloads/old.iso", f / "code/shop"};
    DiskScanner excluding = f.scanner();
    excluding.flatpakApps = scanner.flatpakApps;
    EXPECT_TRUE(excluding.collect(CategoryID::installers).items.empty());
    EXPECT_TRUE(excluding.collect(CategoryID::projects).items.empty());

    // A Downloads link to a folder holding the home is not followed there: what lies in it is
    // shown, not offered, since no move goes through the link.
    writeFileOfSize(elsewhere / "stray.iso", 20000);
    setTimes(elsewhere / "stray.iso", daysAgo(30, f.now));
    makeFolder(elsewhere / "home");
    makeSymlink(elsewhere.path(), elsewhere / "home/Downloads");
    DiskScanner above(Url::fromPath(elsewhere / "home"), std::vector<Url>{}, f.settings, nullptr,
                      DiskScanner::noNames(), {}, f.now);
    above.environment = {};
    const Category stray = above.collect(CategoryID::installers);
    ASSERT_EQ(stray.items.size(), 1u);
    EXPECT_EQ(stray.items[0].url.path(), elsewhere / "home/Downloads/stray.iso");
    EXPECT_EQ(stray.items[0].action, CleanupAction::showOnly);
}

// A Downloads folder kept on another disk: its old installer goes into that disk's own Trash and
// comes back from there.
TEST(DiskScanner, AFolderLinkedToAnotherDiskMovesIntoThatDisksTrash) {
    ScannerFixture f;
    TempDir elsewhere;
    makeFolder(elsewhere / "disk");
    const auto report = withPrivateMounts([&] {
        if (!mountTmpfs(elsewhere / "disk"))
            return std::string("mounting failed");
        writeFileOfSize(elsewhere / "disk/Downloads/old.iso", 20000);
        setTimes(elsewhere / "disk/Downloads/old.iso", daysAgo(30, f.now));
        makeSymlink(elsewhere / "disk/Downloads", f / "Downloads");
        DiskScanner scanner = f.scanner();
        scanner.flatpakApps = [] { return std::vector<InstalledApp>(); };
        const Category installers = scanner.collect(CategoryID::installers);
        if (installers.items.size() != 1 || installers.items[0].action != CleanupAction::trash)
            return std::string("the installer is not offered");
        const Trasher trasher{DeletionGuard(scanner.home),
                              Url::fromPath(FreedesktopTrash::homeTrashFiles(scanner.home.path()))};
        const CleanupItem& item = installers.items[0];
        const Trasher::Outcome moved = trasher.execute(trasher.plan({{item.url, item.size, item.fileCount, false}}));
        if (moved.removed.size() != 1)
            return "not moved: " + (moved.failed.empty() ? std::string() : moved.failed[0].reason);
        std::string problems;
        const std::string volumeTrash = elsewhere / ("disk/.Trash-" + std::to_string(geteuid()) + "/files/old.iso");
        if (DeletionGuard::canonical(moved.removed[0].trashPath.path()) != DeletionGuard::canonical(volumeTrash))
            problems += "moved into " + moved.removed[0].trashPath.path() + "; ";
        if (trasher.putBack(moved.removed[0]) != Trasher::PutBackResult::restored() ||
            !Fs::exists(elsewhere / "disk/Downloads/old.iso"))
            problems += "not put back; ";
        return problems;
    });
    if (!report)
        GTEST_SKIP() << "mounting in a private mount namespace needs root";
    EXPECT_EQ(*report, "");
}

// A project on a disk whose own Trash this user cannot use: the move would refuse it, so it is
// shown with the move's reason and not offered; on a disk whose Trash takes it, it is offered.
TEST(DiskScanner, WhatNoTrashWouldTakeIsShownNotOffered) {
    ScannerFixture f;
    TempDir elsewhere;
    makeFolder(elsewhere / "refusing");
    makeFolder(elsewhere / "taking");
    const auto report = withPrivateMounts([&] {
        if (!mountTmpfs(elsewhere / "refusing") || !mountTmpfs(elsewhere / "taking"))
            return std::string("mounting failed");
        for (const char* disk : {"refusing", "taking"}) {
            writeFile(elsewhere / (std::string(disk) + "/shop/package.json"), "{}");
            writeFileOfSize(elsewhere / (std::string(disk) + "/shop/node_modules/x/index.js"), 3000);
            setTimesRecursively(elsewhere / disk, daysAgo(100));
        }
        // Where that disk's Trash would be made, a file stands.
        writeFile(elsewhere / ("refusing/.Trash-" + std::to_string(geteuid())), "not a folder");
        ScanSettings settings = f.settings;
        settings.projectFolders = {elsewhere / "refusing", elsewhere / "taking"};
        DiskScanner scanner = f.scanner();
        scanner.settings = settings;
        const Category projects = scanner.collect(CategoryID::projects);
        std::string problems;
        for (const CleanupItem& item : projects.items) {
            const bool refusing = item.url.path().starts_with(elsewhere / "refusing/");
            const Trasher trasher{DeletionGuard(scanner.home),
                                  Url::fromPath(FreedesktopTrash::homeTrashFiles(scanner.home.path()))};
            const Trasher::Outcome moved =
                trasher.execute(trasher.plan({{item.url, item.size, item.fileCount, false}}));
            if (refusing) {
                if (item.action != CleanupAction::showOnly)
                    problems += "offered on the refusing disk; ";
                if (item.reason != "shop was last changed 100 days ago. Running npm install brings this folder back. "
                                   "Items on another disk can only go to that disk's own Trash, and it has none you "
                                   "can use.")
                    problems += "reason: " + item.reason + "; ";
                if (moved.failed.size() != 1 || !item.reason.ends_with(moved.failed[0].reason))
                    problems += "the move does not say what the scan said; ";
            } else {
                if (item.action != CleanupAction::trash || item.safety != Safety::safe)
                    problems += "not offered on the disk that takes it; ";
                if (moved.removed.size() != 1)
                    problems += "not moved from the disk that takes it; ";
            }
        }
        if (projects.items.size() != 2)
            problems += std::to_string(projects.items.size()) + " items; ";
        return problems;
    });
    if (!report)
        GTEST_SKIP() << "mounting in a private mount namespace needs root";
    EXPECT_EQ(*report, "");
}

// A home kept below /var, given as "/home/u" (a link there) or as it really is: its caches and old
// installers are offered and move, as on any home.
TEST(DiskScanner, AHomeBelowVarOffersWhatAMoveTakesInBothSpellings) {
    const auto report = withHomeUnderVar([](const std::string& spelled, const std::string& real) {
        const Date now = Date::fromUnix(1'700'000'000);
        std::string problems;
        for (const std::string& home : {spelled, real}) {
            writeFileOfSize(real + "/.cache/org.example.Editor/blob", 6000);
            writeFileOfSize(real + "/Downloads/old.iso", 20000);
            setTimes(real + "/Downloads/old.iso", daysAgo(30, now));
            DiskScanner scanner(Url::fromPath(home), std::vector<Url>{}, ScanSettings(), nullptr,
                                DiskScanner::noNames(), {}, now);
            scanner.flatpakApps = [] { return std::vector<InstalledApp>(); };
            const ScanResult scan = scanner.scan(nullptr);
            for (CategoryID id : {CategoryID::caches, CategoryID::installers}) {
                const Category& category = *scan.category(id);
                if (category.items.size() != 1 || category.items[0].action != CleanupAction::trash)
                    problems += home + ": " + std::string(rawValue(id)) + " not offered; ";
            }
            problems += moveAndPutBackEveryOfferedItem(scan, scanner.home);
        }
        return problems;
    });
    if (!report)
        GTEST_SKIP() << "mounting in a private mount namespace needs root";
    EXPECT_EQ(*report, "");
}
