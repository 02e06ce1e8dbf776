#include "DovraneKit/scan/DiskScanner.h"

#include "scan/ScanCollectors.h"

#include "DovraneKit/scan/ToolOutputParsers.h"
#include "DovraneKit/system/ToolPaths.h"
#include "support/FakeRunner.h"
#include "support/ScannerFixture.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

std::vector<std::string> names(const Category& category) {
    std::vector<std::string> result;
    for (const auto& item : category.items)
        result.push_back(item.name);
    return result;
}

const ToolPaths& tools() { return ToolPaths::current(); }

} // namespace

TEST(SystemCollectors, SnapshotsAreUnmeasuredItemsOldestFirstWithANote) {
    ScannerFixture f;
    f.runner->answer(tools().tmutil, "Snapshot dates for all disks:\n2024-05-03-080000\n2024-05-01-093012\n"
                                     "2024-05-02-101500\n");
    auto category = ScanCollectors(f.scanner()).snapshots();
    EXPECT_EQ(f.runner->calls(), (std::vector<FakeRunner::Call>{{tools().tmutil, {"listlocalsnapshotdates", "/"}}}));
    ASSERT_EQ(category.items.size(), 3u);
    EXPECT_EQ(category.items[0].url.text(), "tmsnapshot:2024-05-01-093012");
    EXPECT_EQ(category.items[2].url.path(), "2024-05-03-080000");
    EXPECT_EQ(category.items[0].lastUsed, SnapshotParser::date("2024-05-01-093012"));
    EXPECT_NE(category.items[0].name.find("2024"), std::string::npos);
    EXPECT_EQ(category.items[0].action, CleanupAction::deleteSnapshot);
    EXPECT_EQ(category.size, 0);
    EXPECT_TRUE(category.sizeIsEstimate);
    EXPECT_EQ(category.note, "3 snapshots, size not disclosed by macOS");
    {
        ScopedEnv german("APP_LANG", "de");
        EXPECT_EQ(ScanCollectors(f.scanner()).snapshots().note, "3 Schnappschüsse, Größe von macOS nicht offengelegt");
    }

    for (std::string output : {std::string(), std::string("\xFF\xFE"
                                                          "2024-05-01-093012\n")}) {
        f.runner->answer(tools().tmutil, output);
        auto none = ScanCollectors(f.scanner()).snapshots();
        EXPECT_TRUE(none.items.empty());
        EXPECT_FALSE(none.note);
        EXPECT_TRUE(none.sizeIsEstimate);
    }
}

TEST(SystemCollectors, AComputerWithoutTimeMachineHasNothingUndisclosed) {
    ScannerFixture f;
    f.runner->answer(tools().tmutil, std::nullopt);
    const Category none = ScanCollectors(f.scanner()).snapshots();
    EXPECT_TRUE(none.holdsNothing());
    EXPECT_FALSE(none.sizeIsEstimate);
}

TEST(SystemCollectors, XcodeNamesBuildFoldersArchivesAndDeviceSupport) {
    ScannerFixture f;
    std::string xcode = f / "Library/Developer/Xcode";
    writeFileOfSize(xcode + "/DerivedData/Shop-abcdefghijklmnopqrstuvwxyzab/Build/x", 3000);
    writeFileOfSize(xcode + "/DerivedData/Tool-beta/x", 3000);
    writeFileOfSize(xcode + "/DerivedData/Short-abcdefghijklmnopqrs/x", 3000); // dash and 19 letters
    // Dash and 19 letters of two bytes each: short, though 39 bytes long.
    writeFileOfSize(xcode + "/DerivedData/App-äöüäöüäöüäöüäöüäöüä/x", 3000);
    writeFile(xcode + "/DerivedData/.DS_Store", "x");
    writeFileOfSize(xcode + "/Archives/2024-05-01/Shop.xcarchive/x", 3000);
    writeFileOfSize(xcode + "/iOS DeviceSupport/17.5 (21F79)/Symbols/x", 3000);
    writeFileOfSize(xcode + "/watchOS DeviceSupport/17.5 (21F79)/Symbols/x", 3000);
    writeFileOfSize(f / "Library/Developer/CoreSimulator/Caches/dyld/x", 3000);

    auto found = names(ScanCollectors(f.scanner()).xcode());
    ASSERT_EQ(found.size(), 9u);
    std::vector<std::string> derived(found.begin(), found.begin() + 5);
    std::sort(derived.begin(), derived.end());
    EXPECT_EQ(derived, (std::vector<std::string>{".DS_Store", "App-äöüäöüäöüäöüäöüäöüä", "Shop",
                                                 "Short-abcdefghijklmnopqrs", "Tool-beta"}));
    EXPECT_EQ(std::vector<std::string>(found.begin() + 5, found.end()),
              (std::vector<std::string>{"Archives 2024-05-01", "iOS 17.5 (21F79)", "watchOS 17.5 (21F79)",
                                        "Simulator caches"}));
    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(names(ScanCollectors(f.scanner()).xcode())[5], "Archive 2024-05-01");
}

TEST(SystemCollectors, SimulatorsFromTheToolOrTheWholeFolderWithoutIt) {
    ScannerFixture f;
    std::string devices = f / "Library/Developer/CoreSimulator/Devices";
    makeFolder(devices);
    EXPECT_TRUE(ScanCollectors(f.scanner()).simulators().items.empty());
    writeFileOfSize(devices + "/AAA/data/app", 6000);
    writeFileOfSize(devices + "/BBB/data/app", 6000);
    writeFileOfSize(f / "elsewhere/CCC/data/app", 6000);

    auto fallback = ScanCollectors(f.scanner()).simulators();
    EXPECT_EQ(f.runner->calls().back(), (FakeRunner::Call{tools().xcrun, {"simctl", "list", "devices", "--json"}}));
    ASSERT_EQ(names(fallback), std::vector<std::string>{"All simulators"});
    EXPECT_EQ(fallback.items[0].url, Url::fromPath(devices));
    EXPECT_EQ(fallback.items[0].action, CleanupAction::showOnly);

    f.runner->answer(tools().xcrun, R"({"devices": {
        "com.apple.CoreSimulator.SimRuntime.iOS-17-5": [
            {"udid": "AAA", "name": "iPhone 15", "isAvailable": true},
            {"udid": "CCC", "name": "iPad", "isAvailable": true, "dataPath": ")" +
                                        f / "elsewhere/CCC/data" + R"("},
            {"udid": "GONE", "name": "iPhone X", "isAvailable": true}],
        "com.apple.CoreSimulator.SimRuntime.iOS-15-0": [{"udid": "BBB", "name": "iPhone 8", "isAvailable": false}]}})");
    auto listed = ScanCollectors(f.scanner()).simulators();
    ASSERT_EQ(names(listed),
              (std::vector<std::string>{"iPhone 8 (iOS 15.0)", "iPad (iOS 17.5)", "iPhone 15 (iOS 17.5)"}));
    EXPECT_EQ(listed.items[0].source, "simulators.unavailable");
    EXPECT_EQ(listed.items[0].safety, Safety::safe);
    EXPECT_EQ(listed.items[0].url, Url::fromPath(devices + "/BBB"));
    EXPECT_EQ(listed.items[1].url, Url::fromPath(f / "elsewhere/CCC"));
    EXPECT_EQ(listed.items[2].safety, Safety::review);
    EXPECT_EQ(listed.items[2].action, CleanupAction::showOnly);

    for (const char* output : {R"({"devices": {}})", "", "not json"}) {
        f.runner->answer(tools().xcrun, output);
        EXPECT_TRUE(ScanCollectors(f.scanner()).simulators().items.empty()) << output;
    }
}

TEST(SystemCollectors, PackageCachesAndTheHomebrewCacheOfTheFirstBrewThatNamesOne) {
    ScannerFixture f;
    ASSERT_EQ(tools().brew.size(), 3u);
    writeFileOfSize(f / "Library/Caches/Homebrew/bottle", 7000);
    writeFileOfSize(f / ".npm/_cacache/index", 7000);
    writeFileOfSize(f / ".cargo/registry/cache/crate", 7000);
    auto defaults = ScanCollectors(f.scanner()).packageCaches();
    EXPECT_EQ(names(defaults), (std::vector<std::string>{"Homebrew", "npm", "Cargo"}));
    EXPECT_EQ(defaults.items[0].url, Url::fromPath(f / "Library/Caches/Homebrew"));
    EXPECT_EQ(defaults.items[2].source, "packages.cargo");
    EXPECT_EQ(defaults.items[2].reason, "Downloaded packages. Cargo loads them again when needed.");

    writeFileOfSize(f / "brew-cache/downloads/bottle.tar.gz", 7000);
    f.runner->answer(tools().brew[0], " \n\t\n");
    f.runner->answer(tools().brew[1], "  " + f / "brew-cache" + "\n");
    auto before = f.runner->calls().size();
    auto brewed = ScanCollectors(f.scanner()).packageCaches();
    auto calls = f.runner->calls();
    EXPECT_EQ(std::vector<FakeRunner::Call>(calls.begin() + std::ptrdiff_t(before), calls.end()),
              (std::vector<FakeRunner::Call>{{tools().brew[0], {"--cache"}}, {tools().brew[1], {"--cache"}}}));
    EXPECT_EQ(brewed.items[0].url, Url::fromPath(f / "brew-cache"));
    EXPECT_EQ(brewed.items[0].source, "packages.homebrew");
}
