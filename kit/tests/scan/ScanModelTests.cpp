#include "DovraneKit/scan/ScanModel.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <set>

using namespace dovrane;
using nlohmann::json;

namespace {

CleanupItem item(const std::string& path, std::int64_t size, Safety safety = Safety::safe,
                 CleanupAction action = CleanupAction::trash) {
    return CleanupItem(Url::fromPath(path), std::nullopt, size, 1, std::nullopt, "reason", "test", safety, action);
}

std::vector<std::string> paths(const std::vector<CleanupItem>& items) {
    std::vector<std::string> result;
    for (const auto& i : items)
        result.push_back(i.id());
    return result;
}

ScanResult sampleScan() {
    ScanResult scan;
    scan.date = Date{736'000'000.5};
    scan.volume = "Macintosh HD";
    scan.total = 500'000'000'000;
    scan.free = 120'000'000'000;
    scan.available = 100'000'000'000;
    CleanupItem used(Url::fromPath("/home/u/Library/Caches/com.ex ample/ü"), "Example cache", 4096, 3,
                     Date{700'000'000.25}, "A cache.", "caches.app", Safety::safe, CleanupAction::trash);
    used.ground = CleanupItem::Ground{{{2049, 131077, 1'700'000'000'123'456'789}, {2049, 12, 0}}, 1000};
    CleanupItem snapshot(*Url::parse("tmsnapshot:2024-05-01-093012"), std::nullopt, 0, 1, std::nullopt, "A snapshot.",
                         "snapshots.local", Safety::review, CleanupAction::deleteSnapshot);
    scan.categories = {Category(CategoryID::caches, std::nullopt, {used}),
                       Category(CategoryID::snapshots, 0, {snapshot}, true, "Size not disclosed"),
                       Category(CategoryID::mailDownloads)};
    scan.computeOther();
    return scan;
}

} // namespace

TEST(ScanModelEnumerations, CaseNamesOrderAndGroups) {
    const char* names[] = {"apps",          "personal",      "caches",     "logs",      "trash", "installers",
                           "mailDownloads", "messages",      "iosBackups", "snapshots", "xcode", "simulators",
                           "docker",        "packageCaches", "projects",   "other"};
    for (int i = 0; i < 16; ++i) {
        CategoryID id = allCategoryIDs[std::size_t(i)];
        EXPECT_EQ(position(id), i);
        EXPECT_EQ(rawValue(id), names[i]);
        EXPECT_EQ(categoryIDFromRaw(names[i]), id);
        EXPECT_EQ(isDeveloper(id), i >= 10 && i <= 14) << names[i];
    }
    int systemData = 0;
    for (auto id : allCategoryIDs)
        systemData += isSystemData(id);
    EXPECT_EQ(systemData, 10);
    EXPECT_TRUE(isSystemData(CategoryID::other));
    EXPECT_FALSE(isSystemData(CategoryID::projects));
    EXPECT_FALSE(isSystemData(CategoryID::messages));
    EXPECT_FALSE(categoryIDFromRaw("Apps"));
    EXPECT_FALSE(categoryIDFromRaw(""));

    EXPECT_LT(Safety::safe, Safety::review);
    EXPECT_LT(Safety::review, Safety::keep);
    EXPECT_EQ(safetyFromRaw("review"), Safety::review);
    EXPECT_FALSE(safetyFromRaw("Safe"));
    for (auto action :
         {CleanupAction::trash, CleanupAction::emptyTrash, CleanupAction::deleteSnapshot, CleanupAction::showOnly})
        EXPECT_EQ(cleanupActionFromRaw(rawValue(action)), action);
    EXPECT_EQ(rawValue(CleanupAction::deleteSnapshot), "deleteSnapshot");
    EXPECT_FALSE(cleanupActionFromRaw("delete"));
}

TEST(CleanupItemConstruction, AbsentNameIsTheLastPathComponent) {
    auto folder = item("/home/u/Library/Caches/com.example.app", 10);
    EXPECT_EQ(folder.name, "com.example.app");
    EXPECT_EQ(folder.id(), "/home/u/Library/Caches/com.example.app");

    CleanupItem named(Url::fromPath("/a/b"), "Shown name", 1, 1, std::nullopt, "r", "s", Safety::keep,
                      CleanupAction::showOnly);
    EXPECT_EQ(named.name, "Shown name");

    CleanupItem snapshot(*Url::parse("tmsnapshot:2024-05-01-093012"), std::nullopt, 0, 1, std::nullopt, "r", "s",
                         Safety::review, CleanupAction::deleteSnapshot);
    EXPECT_EQ(snapshot.name, "2024-05-01-093012");
    EXPECT_EQ(snapshot.id(), "2024-05-01-093012");
}

TEST(CleanupItemConstruction, SamePathWithOtherSizeIsAnotherValueWithTheSameIdentity) {
    auto a = item("/x/cache", 5), b = item("/x/cache", 6);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.id(), b.id());
}

TEST(CategoryConstruction, SizeIsTheItemsSumUnlessGiven) {
    Category empty(CategoryID::projects);
    EXPECT_EQ(empty.size, 0);
    EXPECT_TRUE(empty.items.empty());
    EXPECT_FALSE(empty.sizeIsEstimate);
    EXPECT_FALSE(empty.note);

    std::vector<CleanupItem> items = {item("/a", 5), item("/b", 7)};
    EXPECT_EQ(Category(CategoryID::caches, std::nullopt, items).size, 12);
    EXPECT_EQ(Category(CategoryID::caches, 100, items).size, 100);
}

TEST(CategoryConstruction, DescriptionsFollowTheLanguageAtEveryRead) {
    Category other(CategoryID::other);
    EXPECT_EQ(other.title(), "System and the rest");
    dovrane::testing::ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(other.title(), "System und Rest");
    EXPECT_EQ(other.safety(), Safety::keep);
    EXPECT_EQ(Category(CategoryID::trash).explanation(),
              "Dateien, die du schon gelöscht hast. Sie belegen Platz, bis der Papierkorb geleert wird.");
}

TEST(ScanResultFigures, UsedAndPurgeableNeverGoBelowZero) {
    ScanResult scan;
    scan.total = 1000;
    scan.free = 300;
    scan.available = 200;
    EXPECT_EQ(scan.used(), 700);
    EXPECT_EQ(scan.purgeable(), 100);

    scan.free = 1500;      // more free than total
    scan.available = 2000; // more available than free
    EXPECT_EQ(scan.used(), 0);
    EXPECT_EQ(scan.purgeable(), 0);
}

TEST(ScanResultOther, OtherIsTheUnexplainedRestAndStaysSingleAndLast) {
    ScanResult scan;
    scan.total = 1000;
    scan.free = 400; // used 600
    scan.categories = {Category(CategoryID::other, 5), Category(CategoryID::apps, 100),
                       Category(CategoryID::snapshots, 10'000, {}, true), Category(CategoryID::caches, 50)};
    scan.computeOther();
    ASSERT_EQ(scan.categories.size(), 4u);
    EXPECT_EQ(scan.categories[0].id, CategoryID::apps);
    EXPECT_EQ(scan.categories[1].id, CategoryID::snapshots);
    EXPECT_EQ(scan.categories.back().id, CategoryID::other);
    EXPECT_EQ(scan.categories.back().size, 450); // the estimate does not count
    EXPECT_FALSE(scan.categories.back().sizeIsEstimate);

    auto once = scan;
    scan.computeOther();
    EXPECT_EQ(scan, once);

    scan.categories.push_back(Category(CategoryID::personal, 900));
    scan.computeOther();
    EXPECT_EQ(scan.categories.back().id, CategoryID::other);
    EXPECT_EQ(scan.categories.back().size, 0);
    int others = 0;
    for (const auto& c : scan.categories)
        others += c.id == CategoryID::other;
    EXPECT_EQ(others, 1);
}

// What a cleanup moved stays explained: it leaves "other" and is counted in the Trash.
TEST(ScanResultOther, MovedBytesCountInTheTrashNotInTheRest) {
    const Url files = Url::fromPath("/home/u/.local/share/Trash/files");
    ScanResult scan;
    scan.total = 10'000;
    scan.free = 4'000; // used 6000
    scan.categories = {Category(CategoryID::caches, 1'000), Category(CategoryID::trash)};
    scan.computeOther();
    ASSERT_EQ(scan.categories.back().size, 5'000);

    // An empty Trash gets its item; the category and the rest follow.
    scan.categories[0].size = 700;
    scan.countMovedToTrash(files, 300, 2);
    scan.computeOther();
    const Category& trash = scan.categories[1];
    ASSERT_EQ(trash.items.size(), 1u);
    EXPECT_EQ(trash.items[0].url, files);
    EXPECT_EQ(trash.items[0].size, 300);
    EXPECT_EQ(trash.items[0].fileCount, 2);
    EXPECT_EQ(trash.items[0].action, CleanupAction::emptyTrash);
    EXPECT_EQ(trash.items[0].safety, Safety::safe);
    EXPECT_EQ(trash.items[0].source, "trash");
    EXPECT_EQ(trash.items[0].name, "Trash");
    EXPECT_EQ(trash.size, 300);
    EXPECT_EQ(scan.categories.back().size, 5'000);

    // A Trash that held something grows; nothing moved changes nothing.
    scan.countMovedToTrash(files, 200, 1);
    scan.countMovedToTrash(files, 0, 0);
    ASSERT_EQ(trash.items.size(), 1u);
    EXPECT_EQ(trash.items[0].size, 500);
    EXPECT_EQ(trash.items[0].fileCount, 3);
    EXPECT_EQ(trash.size, 500);

    // A scan without a Trash category has nowhere to count it.
    ScanResult bare;
    bare.countMovedToTrash(files, 100, 1);
    EXPECT_TRUE(bare.categories.empty());
}

TEST(ScanResultSafeItems, OnlySafeItemsToTrashInStoredOrder) {
    ScanResult scan;
    scan.categories = {
        Category(CategoryID::logs, std::nullopt, {item("/logs/old", 1)}),
        Category(CategoryID::caches, std::nullopt,
                 {item("/c/a", 10), item("/c/blocked", 20, Safety::safe, CleanupAction::showOnly),
                  item("/c/review", 40, Safety::review), item("/c/b", 80)}),
        Category(CategoryID::trash, std::nullopt, {item("/trash", 160, Safety::safe, CleanupAction::emptyTrash)}),
        Category(CategoryID::projects, std::nullopt, {item("/p/node_modules", 320)}),
    };
    EXPECT_EQ(paths(scan.safeItems()), (std::vector<std::string>{"/logs/old", "/c/a", "/c/b", "/p/node_modules"}));
    EXPECT_EQ(paths(scan.safeItems(false)), (std::vector<std::string>{"/logs/old", "/c/a", "/c/b"}));
    EXPECT_EQ(scan.safeTotal(), 1 + 10 + 80 + 320);
    EXPECT_EQ(scan.categories[1].safeSize(), 90);
    EXPECT_EQ(scan.categories[2].safeSize(), 0);
}

TEST(ScanResultLookup, CategoryAndSizesByCategory) {
    ScanResult scan;
    scan.categories = {Category(CategoryID::caches, 10), Category(CategoryID::logs, 3),
                       Category(CategoryID::caches, 32)};
    EXPECT_EQ(scan.category(CategoryID::projects), nullptr);
    ASSERT_NE(scan.category(CategoryID::caches), nullptr);
    EXPECT_EQ(scan.category(CategoryID::caches)->size, 10);
    auto sizes = scan.sizesByCategory();
    EXPECT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes["caches"], 42);
    EXPECT_EQ(sizes["logs"], 3);
}

TEST(ScanResultJson, RoundTripKeepsEveryFieldAndLeavesAbsentOptionalsOut) {
    auto scan = sampleScan();
    auto text = scan.toJson().dump();
    auto back = ScanResult::fromJson(json::parse(text));
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, scan);

    auto written = json::parse(text);
    EXPECT_EQ(written["date"].get<double>(), 736'000'000.5);
    std::set<std::string> keys;
    for (auto& [key, value] : written.items())
        keys.insert(key);
    EXPECT_EQ(keys, (std::set<std::string>{"date", "volume", "total", "free", "available", "categories"}));
    const auto& caches = written["categories"][0];
    EXPECT_EQ(caches["id"], "caches");
    EXPECT_FALSE(caches.contains("note"));
    EXPECT_EQ(caches["items"][0]["url"], scan.categories[0].items[0].url.text());
    EXPECT_EQ(caches["items"][0]["lastUsed"].get<double>(), 700'000'000.25);
    EXPECT_EQ(caches["items"][0]["ground"],
              json({{"item", "2049:131077:1700000000123456789"}, {"folder", "2049:12:0"}, {"owner", 1000}}));
    const auto& snapshots = written["categories"][1];
    EXPECT_EQ(snapshots["note"], "Size not disclosed");
    EXPECT_EQ(snapshots["sizeIsEstimate"], true);
    EXPECT_EQ(snapshots["items"][0]["url"], "tmsnapshot:2024-05-01-093012");
    EXPECT_EQ(snapshots["items"][0]["action"], "deleteSnapshot");
    EXPECT_EQ(snapshots["items"][0]["safety"], "review");
    EXPECT_FALSE(snapshots["items"][0].contains("lastUsed"));
    EXPECT_FALSE(snapshots["items"][0].contains("ground")); // a file written before grounds reads alike
    EXPECT_EQ(written["categories"][2]["id"], "mailDownloads");
}

TEST(ScanResultJson, NullOptionalsAndUnknownKeysAreRead) {
    auto written = sampleScan().toJson();
    written["categories"][1]["note"] = nullptr;
    written["categories"][0]["items"][0]["lastUsed"] = nullptr;
    written["extra"] = "ignored";
    written["categories"][0]["items"][0]["extra"] = 1;
    auto back = ScanResult::fromJson(written);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_FALSE(back->categories[1].note);
    EXPECT_FALSE(back->categories[0].items[0].lastUsed);
}

TEST(ScanResultJson, ReadingTakesStoredValuesWithoutDerivingThem) {
    auto written = sampleScan().toJson();
    written["categories"][0]["size"] = 999; // not the items' sum
    written["categories"][0]["items"][0]["name"] = "Other name";
    written["categories"][0]["items"][0]["size"] = 1.0e3; // a whole number written with a fraction
    auto back = ScanResult::fromJson(written);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(back->categories[0].size, 999);
    EXPECT_EQ(back->categories[0].items[0].name, "Other name");
    EXPECT_EQ(back->categories[0].items[0].size, 1000);
}

TEST(ScanResultJson, EveryFaultMakesTheWholeDocumentUnreadable) {
    const json valid = sampleScan().toJson();
    ASSERT_TRUE(ScanResult::fromJson(valid));
    auto firstItem = [](json& j) -> json& { return j["categories"][0]["items"][0]; };
    std::vector<std::pair<const char*, std::function<void(json&)>>> faults = {
        {"missing volume", [](json& j) { j.erase("volume"); }},
        {"required null", [](json& j) { j["free"] = nullptr; }},
        {"missing item reason", [&](json& j) { firstItem(j).erase("reason"); }},
        {"missing sizeIsEstimate", [](json& j) { j["categories"][2].erase("sizeIsEstimate"); }},
        {"fraction as size", [](json& j) { j["total"] = 1.5; }},
        {"text as size", [&](json& j) { firstItem(j)["size"] = "4096"; }},
        {"count beyond 64 bits", [&](json& j) { firstItem(j)["fileCount"] = 18446744073709551615ull; }},
        {"number as Boolean", [](json& j) { j["categories"][0]["sizeIsEstimate"] = 1; }},
        {"text as date", [](json& j) { j["date"] = "2024-05-01"; }},
        {"number as note", [](json& j) { j["categories"][1]["note"] = 3; }},
        {"unknown category", [](json& j) { j["categories"][0]["id"] = "downloads"; }},
        {"unknown safety", [&](json& j) { firstItem(j)["safety"] = "Safe"; }},
        {"unknown action", [&](json& j) { firstItem(j)["action"] = "delete"; }},
        {"invalid URL", [&](json& j) { firstItem(j)["url"] = "not a url"; }},
        {"categories not a list", [](json& j) { j["categories"] = json::object(); }},
        {"item not an object", [](json& j) { j["categories"][0]["items"][0] = "item"; }},
        {"document not an object", [](json& j) { j = json::array({j}); }},
    };
    for (auto& [name, fault] : faults) {
        json broken = valid;
        fault(broken);
        auto read = ScanResult::fromJson(broken);
        ASSERT_FALSE(read) << name;
        EXPECT_FALSE(read.error().message.empty()) << name;
    }
}

TEST(ScanResultJson, NamesThatAreNotUtf8AreWrittenReadably) {
    CleanupItem item(Url::fromPath("/tmp/\xFF"
                                   "cache"),
                     std::nullopt, 10, 1, std::nullopt, "A cache.", "caches.app", Safety::safe, CleanupAction::trash);
    ScanResult result;
    result.categories.emplace_back(CategoryID::caches, std::nullopt, std::vector<CleanupItem>{item});
    auto back = ScanResult::fromJson(nlohmann::json::parse(result.toJson().dump()));
    ASSERT_TRUE(back) << back.error().message;
    const auto& read = back->categories[0].items[0];
    EXPECT_EQ(read.url, item.url); // the URL keeps the exact bytes
    EXPECT_EQ(read.name, "\xEF\xBF\xBD"
                         "cache");
}

TEST(ScanResultJson, SizesOutsideZeroToTwoToTheSixtySecondAreRefused) {
    const json valid = sampleScan().toJson();
    const std::int64_t largest = std::int64_t(1) << 62;
    std::vector<std::function<json&(json&)>> places = {
        [](json& j) -> json& { return j["total"]; },
        [](json& j) -> json& { return j["free"]; },
        [](json& j) -> json& { return j["available"]; },
        [](json& j) -> json& { return j["categories"][0]["size"]; },
        [](json& j) -> json& { return j["categories"][0]["items"][0]["size"]; },
        [](json& j) -> json& { return j["categories"][0]["items"][0]["fileCount"]; },
    };
    for (std::size_t i = 0; i < places.size(); ++i) {
        json edited = valid;
        places[i](edited) = largest;
        EXPECT_TRUE(ScanResult::fromJson(edited)) << i;
        for (std::int64_t wrong : {std::int64_t(-1), largest + 1, std::numeric_limits<std::int64_t>::max()}) {
            places[i](edited) = wrong;
            EXPECT_FALSE(ScanResult::fromJson(edited)) << i << " " << wrong;
        }
    }
}

TEST(ScanResultFigures, SumsStopAtTheLargestCountInsteadOfOverflowing) {
    const std::int64_t largest = std::int64_t(1) << 62;
    const std::int64_t top = std::numeric_limits<std::int64_t>::max();
    CleanupItem huge(Url::fromPath("/h"), std::nullopt, largest, 1, std::nullopt, "", "", Safety::safe,
                     CleanupAction::trash);
    Category many(CategoryID::caches, std::nullopt, {huge, huge, huge, huge, huge});
    EXPECT_EQ(many.size, top);
    EXPECT_EQ(many.safeSize(), top);

    ScanResult scan;
    scan.total = top;
    scan.free = std::numeric_limits<std::int64_t>::min();
    scan.available = top;
    scan.categories = {many, Category(CategoryID::caches, top), Category(CategoryID::logs, -top)};
    EXPECT_EQ(scan.used(), top);
    EXPECT_EQ(scan.purgeable(), 0);
    EXPECT_EQ(scan.safeTotal(), top);
    EXPECT_EQ(scan.sizesByCategory().at("caches"), top);
    scan.computeOther();
    // The known sizes stop at the top before the negative one brings them back to zero.
    EXPECT_EQ(scan.category(CategoryID::other)->size, top);
}
