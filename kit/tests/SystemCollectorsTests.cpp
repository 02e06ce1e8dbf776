#include "DovraneKit/DiskScanner.h"

#include "DovraneKit/ToolOutputParsers.h"
#include "DovraneKit/ToolPaths.h"
#include "support/FakeRunner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

struct Fixture {
    TempHome home;
    std::shared_ptr<FakeRunner> runner = std::make_shared<FakeRunner>();

    DiskScanner scanner() const {
        return DiskScanner(Url::fromPath(home.path()), std::vector<Url>{}, ScanSettings{}, runner);
    }
    std::string operator/(std::string_view relative) const { return home / relative; }
};

std::vector<std::string> names(const Category& category) {
    std::vector<std::string> result;
    for (const auto& item : category.items)
        result.push_back(item.name);
    return result;
}

const ToolPaths& tools() { return ToolPaths::current(); }

} // namespace

// ---- Snapshots ----------------------------------------------------------------------------

TEST(SnapshotsCollector, OneUnmeasuredItemPerSnapshotOldestFirst) {
    Fixture f;
    f.runner->answer(tools().tmutil, "Snapshot dates for all disks:\n2024-05-03-080000\n2024-05-01-093012\n"
                                     "2024-05-02-101500\n");
    auto category = f.scanner().snapshots();

    EXPECT_EQ(f.runner->calls(),
              (std::vector<FakeRunner::Call>{{tools().tmutil, {"listlocalsnapshotdates", "/"}}}));
    ASSERT_EQ(category.items.size(), 3u);
    EXPECT_EQ(category.items[0].url.text(), "tmsnapshot:2024-05-01-093012");
    EXPECT_EQ(category.items[0].url.path(), "2024-05-01-093012");
    EXPECT_EQ(category.items[2].url.path(), "2024-05-03-080000");
    for (const auto& item : category.items) {
        EXPECT_EQ(item.size, 0);
        EXPECT_EQ(item.fileCount, 1);
        EXPECT_EQ(item.source, "snapshots.local");
        EXPECT_EQ(item.safety, Safety::review);
        EXPECT_EQ(item.action, CleanupAction::deleteSnapshot);
        EXPECT_EQ(item.lastUsed, SnapshotParser::date(item.url.path()));
    }
    EXPECT_NE(category.items[0].name.find("2024"), std::string::npos);
    EXPECT_NE(category.items[0].name, category.items[1].name);
    EXPECT_EQ(category.size, 0);
    EXPECT_TRUE(category.sizeIsEstimate);
    EXPECT_EQ(category.note, "3 snapshots, size not disclosed by macOS");

    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(f.scanner().snapshots().note, "3 Schnappschüsse, Größe von macOS nicht offengelegt");
}

TEST(SnapshotsCollector, NoSnapshotsStillAnEstimateWithoutNote) {
    Fixture f;
    for (std::optional<std::string> output :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("Snapshot dates for all disks:\n"),
          std::optional<std::string>("\xFF\xFE" "2024-05-01-093012\n")}) {
        f.runner->answer(tools().tmutil, output);
        auto category = f.scanner().snapshots();
        EXPECT_TRUE(category.items.empty());
        EXPECT_FALSE(category.note);
        EXPECT_TRUE(category.sizeIsEstimate);
        EXPECT_EQ(category.size, 0);
    }
}

// ---- Xcode --------------------------------------------------------------------------------

TEST(XcodeCollector, NamesOfBuildFoldersArchivesAndDeviceSupport) {
    Fixture f;
    std::string xcode = f / "Library/Developer/Xcode";
    writeFileOfSize(xcode + "/DerivedData/Shop-abcdefghijklmnopqrstuvwxyzab/Build/x", 3000);
    writeFileOfSize(xcode + "/DerivedData/Tool-beta/x", 3000);
    writeFileOfSize(xcode + "/DerivedData/Short-abcdefghijklmnopqrs/x", 3000); // a dash and 19 letters
    writeFile(xcode + "/DerivedData/.DS_Store", "x");
    writeFileOfSize(xcode + "/Archives/2024-05-01/Shop.xcarchive/x", 3000);
    writeFileOfSize(xcode + "/iOS DeviceSupport/17.5 (21F79)/Symbols/x", 3000);
    writeFileOfSize(xcode + "/watchOS DeviceSupport/17.5 (21F79)/Symbols/x", 3000);
    writeFileOfSize(f / "Library/Developer/CoreSimulator/Caches/dyld/x", 3000);

    auto category = f.scanner().xcode();
    std::map<std::string, CleanupItem> items;
    for (const auto& item : category.items)
        items.emplace(item.name, item);
    EXPECT_EQ(category.items.size(), 8u);
    EXPECT_TRUE(items.contains("Shop"));
    EXPECT_TRUE(items.contains("Tool-beta"));
    EXPECT_TRUE(items.contains("Short-abcdefghijklmnopqrs"));
    EXPECT_TRUE(items.contains(".DS_Store"));
    EXPECT_EQ(items["Shop"].source, "xcode.derivedData");
    EXPECT_EQ(items["Shop"].safety, Safety::safe);
    EXPECT_EQ(items["Archives 2024-05-01"].source, "xcode.archives");
    EXPECT_EQ(items["Archives 2024-05-01"].safety, Safety::review);
    EXPECT_EQ(items["iOS 17.5 (21F79)"].source, "xcode.deviceSupport");
    EXPECT_TRUE(items.contains("watchOS 17.5 (21F79)"));
    EXPECT_EQ(items["Simulator caches"].source, "xcode.simCaches");
    for (const auto& item : category.items)
        EXPECT_EQ(item.action, CleanupAction::trash);
    // Build folders, then archives, then device support, then the simulator caches.
    EXPECT_EQ(category.items[4].name, "Archives 2024-05-01");
    EXPECT_EQ(category.items.back().name, "Simulator caches");

    ScopedEnv german("APP_LANG", "de");
    auto germanNames = names(f.scanner().xcode());
    EXPECT_NE(std::find(germanNames.begin(), germanNames.end(), "Archive 2024-05-01"), germanNames.end());
    EXPECT_EQ(germanNames.back(), "Simulator-Caches");
}

TEST(XcodeCollector, HashLengthCountsCharactersNotBytes) {
    Fixture f;
    // A dash and 19 letters of two bytes each: short, though 39 bytes long.
    writeFileOfSize(f / "Library/Developer/Xcode/DerivedData/App-äöüäöüäöüäöüäöüäöüä/x", 100);
    EXPECT_EQ(names(f.scanner().xcode()), std::vector<std::string>{"App-äöüäöüäöüäöüäöüäöüä"});
}

// ---- Simulators ---------------------------------------------------------------------------

TEST(SimulatorsCollector, WithoutTheToolTheWholeDevicesFolderIsOneItem) {
    Fixture f;
    std::string devices = f / "Library/Developer/CoreSimulator/Devices";
    makeFolder(devices);
    EXPECT_TRUE(f.scanner().simulators().items.empty());

    writeFileOfSize(devices + "/UDID-1/data/x", 6000);
    auto category = f.scanner().simulators();
    EXPECT_EQ(f.runner->calls().back(),
              (FakeRunner::Call{tools().xcrun, {"simctl", "list", "devices", "--json"}}));
    ASSERT_EQ(category.items.size(), 1u);
    EXPECT_EQ(category.items[0].name, "All simulators");
    EXPECT_EQ(category.items[0].url, Url::fromPath(devices));
    EXPECT_EQ(category.items[0].source, "simulators.all");
    EXPECT_EQ(category.items[0].safety, Safety::review);
    EXPECT_EQ(category.items[0].action, CleanupAction::showOnly);
}

TEST(SimulatorsCollector, ListedDevicesRatedByAvailability) {
    Fixture f;
    std::string devices = f / "Library/Developer/CoreSimulator/Devices";
    writeFileOfSize(devices + "/AAA/data/app", 6000);
    writeFileOfSize(devices + "/BBB/data/app", 6000);
    writeFileOfSize(f / "elsewhere/CCC/data/app", 6000);
    f.runner->answer(tools().xcrun, R"({"devices": {
        "com.apple.CoreSimulator.SimRuntime.iOS-17-5": [
            {"udid": "AAA", "name": "iPhone 15", "isAvailable": true},
            {"udid": "CCC", "name": "iPad", "isAvailable": true, "dataPath": ")" + f / "elsewhere/CCC/data" + R"("},
            {"udid": "GONE", "name": "iPhone X", "isAvailable": true}
        ],
        "com.apple.CoreSimulator.SimRuntime.iOS-15-0": [
            {"udid": "BBB", "name": "iPhone 8", "isAvailable": false}
        ]}})");

    auto category = f.scanner().simulators();
    ASSERT_EQ(names(category), (std::vector<std::string>{"iPhone 8 (iOS 15.0)", "iPad (iOS 17.5)", "iPhone 15 (iOS 17.5)"}));
    EXPECT_EQ(category.items[0].source, "simulators.unavailable");
    EXPECT_EQ(category.items[0].safety, Safety::safe);
    EXPECT_EQ(category.items[0].url, Url::fromPath(devices + "/BBB"));
    EXPECT_EQ(category.items[1].url, Url::fromPath(f / "elsewhere/CCC"));
    EXPECT_EQ(category.items[2].source, "simulators.device");
    EXPECT_EQ(category.items[2].safety, Safety::review);
    for (const auto& item : category.items)
        EXPECT_EQ(item.action, CleanupAction::showOnly);

    // Output that lists nothing, or cannot be read, empties the category; no fallback.
    for (const char* output : {R"({"devices": {}})", "", "not json"}) {
        f.runner->answer(tools().xcrun, output);
        EXPECT_TRUE(f.scanner().simulators().items.empty()) << output;
    }
}

// ---- Package caches -----------------------------------------------------------------------

TEST(PackageCachesCollector, HomebrewCacheFromTheFirstBrewThatNamesOne) {
    Fixture f;
    ASSERT_EQ(tools().brew.size(), 2u);
    writeFileOfSize(f / "brew-cache/downloads/bottle.tar.gz", 7000);
    writeFileOfSize(f / "Library/Caches/Homebrew/stale", 7000);
    f.runner->answer(tools().brew[0], " \n\t\n");
    f.runner->answer(tools().brew[1], "  " + f / "brew-cache" + "\n");

    auto category = f.scanner().packageCaches();
    EXPECT_EQ(f.runner->calls(), (std::vector<FakeRunner::Call>{{tools().brew[0], {"--cache"}},
                                                                 {tools().brew[1], {"--cache"}}}));
    ASSERT_EQ(category.items.size(), 1u);
    EXPECT_EQ(category.items[0].url, Url::fromPath(f / "brew-cache"));
    EXPECT_EQ(category.items[0].name, "Homebrew");
    EXPECT_EQ(category.items[0].source, "packages.homebrew");
}

TEST(PackageCachesCollector, EachToolFolderThatExistsWithoutBrew) {
    Fixture f;
    writeFileOfSize(f / "Library/Caches/Homebrew/bottle", 7000);
    writeFileOfSize(f / ".npm/_cacache/index", 7000);
    writeFileOfSize(f / ".cargo/registry/cache/crate", 7000);
    writeFileOfSize(f / ".gradle/caches/jar", 7000);
    f.runner->answer(tools().brew[0], std::nullopt);

    auto category = f.scanner().packageCaches();
    EXPECT_EQ(names(category), (std::vector<std::string>{"Homebrew", "npm", "Cargo", "Gradle"}));
    std::vector<std::string> sources;
    std::int64_t sum = 0;
    for (const auto& item : category.items) {
        sources.push_back(item.source);
        sum += item.size;
        EXPECT_EQ(item.safety, Safety::safe);
        EXPECT_EQ(item.action, CleanupAction::trash);
    }
    EXPECT_EQ(sources,
              (std::vector<std::string>{"packages.homebrew", "packages.npm", "packages.cargo", "packages.gradle"}));
    EXPECT_EQ(category.size, sum);
    EXPECT_EQ(category.items[2].reason, "Downloaded packages. Cargo loads them again when needed.");
    EXPECT_EQ(category.items[0].url, Url::fromPath(f / "Library/Caches/Homebrew"));

    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(f.scanner().packageCaches().items[1].reason, "Geladene Pakete. npm lädt sie bei Bedarf neu.");
}
