#include "DovraneKit/DiskScanner.h"

#include "DovraneKit/DeletionGuard.h"
#include "DovraneKit/ToolPaths.h"
#include "support/FakeRunner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

struct Fixture {
    TempHome home;
    std::shared_ptr<FakeRunner> runner = std::make_shared<FakeRunner>();
    ScanSettings settings;
    std::vector<Url> applicationFolders;
    Date now = Date::fromUnix(1'700'000'000);

    DiskScanner scanner() const {
        return DiskScanner(Url::fromPath(home.path()), applicationFolders, settings, runner, DiskScanner::noNames(),
                           {}, now);
    }
    std::string operator/(std::string_view relative) const { return home / relative; }
};

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

} // namespace

// ---- Scan ---------------------------------------------------------------------------------

TEST(DiskScanner, FixedOrderWhateverFinishesLastAndOneProgressCallAtATime) {
    Fixture f;
    writeFileOfSize(f / "Library/Logs/app.log", 3000);
    writeFileOfSize(f / "Documents/a.txt", 3000);

    std::mutex mutex;
    std::condition_variable changed;
    int reported = 0;
    // The snapshots collector's tool answers only after every other category was reported.
    f.runner->answer(tools().tmutil, "2024-05-01-093012\n");
    f.runner->beforeAnswering([&](const std::string& executable) {
        if (executable != tools().tmutil)
            return;
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(20), [&] { return reported >= 14; });
    });

    struct Call {
        CategoryID id;
        int finished, total;
        std::thread::id thread;
    };
    std::vector<Call> calls;
    std::atomic<bool> inside = false, overlapped = false;
    auto result = f.scanner().scan([&](CategoryID id, int finished, int total) {
        if (inside.exchange(true))
            overlapped = true;
        {
            std::lock_guard lock(mutex);
            calls.push_back({id, finished, total, std::this_thread::get_id()});
            reported = finished;
        }
        changed.notify_all();
        inside = false;
    });

    ASSERT_EQ(calls.size(), 15u);
    EXPECT_FALSE(overlapped);
    std::set<CategoryID> reportedIDs;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].finished, int(i) + 1);
        EXPECT_EQ(calls[i].total, 15);
        EXPECT_EQ(calls[i].thread, std::this_thread::get_id());
        reportedIDs.insert(calls[i].id);
    }
    EXPECT_EQ(reportedIDs.size(), 15u);
    EXPECT_FALSE(reportedIDs.contains(CategoryID::other));
    EXPECT_EQ(calls.back().id, CategoryID::snapshots);

    ASSERT_EQ(result.categories.size(), 16u);
    for (std::size_t i = 0; i < allCategoryIDs.size(); ++i)
        EXPECT_EQ(result.categories[i].id, allCategoryIDs[i]);
    EXPECT_EQ(result.category(CategoryID::snapshots)->items.size(), 1u);
    EXPECT_EQ(result.category(CategoryID::logs)->items.size(), 1u);
    EXPECT_EQ(result.date, f.now);
    EXPECT_GT(result.total, 0);
}

TEST(DiskScanner, MissingHomeGivesEmptyCategoriesAndFallbackVolume) {
    TempDir parent;
    auto runner = std::make_shared<FakeRunner>();
    DiskScanner scanner(Url::fromPath(parent / "gone"), std::vector<Url>{}, ScanSettings{}, runner);
    int progressCalls = 0;
    auto result = scanner.scan([&](CategoryID, int, int) { ++progressCalls; });
    EXPECT_EQ(progressCalls, 15);
    ASSERT_EQ(result.categories.size(), 16u);
    for (const auto& category : result.categories) {
        EXPECT_TRUE(category.items.empty()) << rawValue(category.id);
        EXPECT_EQ(category.size, 0) << rawValue(category.id);
    }
    EXPECT_EQ(result.volume, "Macintosh HD");
    EXPECT_EQ(result.total, 0);
    EXPECT_EQ(result.free, 0);
    EXPECT_EQ(result.available, 0);
}

TEST(DiskScanner, StoppedScanReturnsAtOnceWithPartialFigures) {
    Fixture f;
    for (int i = 0; i < 6000; ++i)
        writeFile(f / ("Documents/many/file" + std::to_string(i)), "x");
    writeFile(f / "Projects/shop/package.json", "{}");
    writeFileOfSize(f / "Projects/shop/node_modules/dep.js", 4000);
    setTimesRecursively(f / "Projects", daysAgo(60));
    f.settings.projectFolders = {f / "Projects"};
    f.runner->answer(tools().tmutil, "2024-05-01-093012\n");

    // Sanity: the project is found when nobody stops the scan.
    EXPECT_EQ(f.scanner().collect(CategoryID::projects).items.size(), 1u);

    std::stop_source stop;
    stop.request_stop();
    int progressCalls = 0;
    auto result = f.scanner().scan([&](CategoryID, int, int) { ++progressCalls; }, stop.get_token());
    EXPECT_EQ(progressCalls, 15);
    EXPECT_EQ(result.categories.size(), 16u);
    const Category* personal = result.category(CategoryID::personal);
    ASSERT_TRUE(personal);
    ASSERT_EQ(personal->items.size(), 1u);
    EXPECT_LT(personal->items[0].fileCount, 6000);
    EXPECT_TRUE(result.category(CategoryID::projects)->items.empty());
    // No tool is started once the scan is stopped.
    EXPECT_TRUE(f.runner->calls().empty());
}

// ---- Exclusion and protection -------------------------------------------------------------

TEST(DiskScanner, ExcludedPathsDropItemsByWholeComponents) {
    Fixture f;
    writeFileOfSize(f / "Library/Logs/app.log", 3000);
    writeFileOfSize(f / "Library/Logs/Downloads/x.log", 3000);
    writeFileOfSize(f / "Library/Logs/Downloads2/y.log", 3000);

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
}

TEST(DiskScanner, ExcludingTheRootEmptiesEveryCategory) {
    Fixture f;
    writeFileOfSize(f / "Library/Logs/app.log", 3000);
    writeFileOfSize(f / "Documents/a.txt", 3000);
    writeFileOfSize(f / ".local/share/Trash/files/x", 3000);
    f.runner->answer(tools().tmutil, "2024-05-01-093012\n");
    f.settings.excludedPaths = {"/"};

    auto result = f.scanner().scan({});
    for (const auto& category : result.categories) {
        if (category.id == CategoryID::other)
            continue;
        EXPECT_TRUE(category.items.empty()) << rawValue(category.id);
        EXPECT_EQ(category.size, 0) << rawValue(category.id);
    }
    EXPECT_EQ(result.category(CategoryID::other)->size, result.used());
}

TEST(DiskScanner, ProtectedTrashItemsBecomeShowOnlyOthersAreNotChecked) {
    Fixture f;
    writeFileOfSize(f / "Library/Logs/Shots.photoslibrary/db", 5000);
    writeFileOfSize(f / "Library/Logs/plain.log", 5000);
    writeFileOfSize(f / ".local/share/Trash/files/x", 5000);
    writeFileOfSize(f / ".ssh/Install macOS Sonoma.app/Contents/x", 5000);
    f.applicationFolders = {Url::fromPath(f / ".ssh")};
    auto scanner = f.scanner();

    auto logs = scanner.collect(CategoryID::logs);
    ASSERT_EQ(logs.items.size(), 2u);
    std::int64_t sum = 0;
    for (const auto& item : logs.items) {
        sum += item.size;
        bool photos = item.name == "Shots.photoslibrary";
        EXPECT_EQ(item.action, photos ? CleanupAction::showOnly : CleanupAction::trash) << item.name;
        EXPECT_EQ(item.safety, Safety::safe);
        EXPECT_EQ(item.reason, "A log file. Nothing reads old logs.");
        EXPECT_EQ(item.source, "logs");
    }
    EXPECT_EQ(logs.size, sum);

    auto installers = scanner.collect(CategoryID::installers);
    ASSERT_EQ(installers.items.size(), 1u);
    EXPECT_EQ(installers.items[0].action, CleanupAction::showOnly);
    EXPECT_EQ(installers.items[0].safety, Safety::review);

    // The Trash is a protected tree, yet emptying it is its own action and stays.
    DeletionGuard guard(Url::fromPath(f.home.path()));
    ASSERT_FALSE(guard.check(Url::fromPath(f / ".local/share/Trash/files")).isAllowed());
    auto trash = scanner.collect(CategoryID::trash);
    ASSERT_EQ(trash.items.size(), 1u);
    EXPECT_EQ(trash.items[0].action, CleanupAction::emptyTrash);
}

// ---- Inline collectors --------------------------------------------------------------------

TEST(DiskScanner, ProjectsNoteOnlyWithoutProjectFolders) {
    Fixture f;
    auto none = f.scanner().collect(CategoryID::projects);
    EXPECT_TRUE(none.items.empty());
    EXPECT_EQ(none.note, "Choose the folders with your projects in Settings > Scan.");
    {
        ScopedEnv german("APP_LANG", "de");
        EXPECT_EQ(f.scanner().collect(CategoryID::projects).note,
                  "Wähle die Ordner mit deinen Projekten unter Einstellungen > Scan.");
    }

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

TEST(DiskScanner, MessagesAndDockerAreOneItemWhenSomethingIsThere) {
    Fixture f;
    auto scanner = f.scanner();
    EXPECT_TRUE(scanner.collect(CategoryID::messages).items.empty());
    EXPECT_TRUE(scanner.collect(CategoryID::docker).items.empty());

    writeFile(f / "Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw");
    writeFileOfSize(f / "Library/Messages/Attachments/ab/photo.heic", 9000);
    auto docker = scanner.collect(CategoryID::docker);
    ASSERT_EQ(docker.items.size(), 1u);
    EXPECT_EQ(docker.items[0].name, "Docker.raw");
    EXPECT_EQ(docker.items[0].size, 0);
    EXPECT_EQ(docker.items[0].fileCount, 1);
    EXPECT_EQ(docker.items[0].source, "docker");
    EXPECT_EQ(docker.items[0].action, CleanupAction::showOnly);

    auto messages = scanner.collect(CategoryID::messages);
    ASSERT_EQ(messages.items.size(), 1u);
    EXPECT_EQ(messages.items[0].name, "Attachments");
    EXPECT_EQ(messages.items[0].url, Url::fromPath(f / "Library/Messages/Attachments"));
    EXPECT_EQ(messages.items[0].safety, Safety::keep);
    EXPECT_EQ(messages.items[0].action, CleanupAction::showOnly);
    EXPECT_EQ(messages.size, messages.items[0].size);
    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(scanner.collect(CategoryID::messages).items[0].name, "Anhänge");

    EXPECT_EQ(scanner.collect(CategoryID::other), Category(CategoryID::other));
}

// ---- Double counting ----------------------------------------------------------------------

TEST(DiskScanner, InstallersAndProjectsComeOutOfThePersonalFolders) {
    const std::int64_t GB = 1'000'000'000;
    Category personal(CategoryID::personal, std::nullopt,
                      {itemAt("/h/Downloads", 10 * GB), itemAt("/h/Documents", 5 * GB), itemAt("/h/Desktop", GB)});
    Category installers(CategoryID::installers, std::nullopt,
                        {itemAt("/h/Downloads/old.dmg", 3 * GB), itemAt("/h/Downloads2/other.dmg", 2 * GB)});
    Category projects(CategoryID::projects, std::nullopt,
                      {itemAt("/h/Documents/code/shop/node_modules", 4 * GB),
                       itemAt("/h/Documents/code/api/target", 4 * GB)});
    Category logs(CategoryID::logs, std::nullopt, {itemAt("/h/Desktop/x.log", GB)});

    auto result = DiskScanner::deduplicateDownloads({logs, personal, installers, projects});
    ASSERT_EQ(result.size(), 4u);
    EXPECT_EQ(result[0], logs);
    EXPECT_EQ(result[2], installers);
    EXPECT_EQ(result[3], projects);
    const Category& reduced = result[1];
    ASSERT_EQ(reduced.items.size(), 3u);
    EXPECT_EQ(reduced.items[0].size, 7 * GB);
    EXPECT_EQ(reduced.items[1].size, 0); // 8 GB of projects in a 5 GB folder
    EXPECT_EQ(reduced.items[2].size, GB);
    EXPECT_EQ(reduced.size, 8 * GB);
    EXPECT_EQ(reduced.items[0].fileCount, 4);
}

TEST(DiskScanner, NothingToDeduplicateLeavesTheInputAlone) {
    Category personal(CategoryID::personal, 123, {itemAt("/h/Downloads", 10)});
    std::vector<Category> input = {personal, Category(CategoryID::installers), Category(CategoryID::projects)};
    EXPECT_EQ(DiskScanner::deduplicateDownloads(input), input);
}
