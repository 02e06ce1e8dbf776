#include "DovraneKit/updates/CaskIndex.h"

#include <gtest/gtest.h>

using namespace dovrane;

namespace {

std::vector<std::string> apps(const std::map<std::string, CaskInfo>& table, const std::string& token) {
    auto it = table.find(token);
    return it == table.end() ? std::vector<std::string>{"<missing>"} : it->second.apps;
}

} // namespace

TEST(CaskIndexParse, KeepsOnlyCasksWithTextTokenAndVersion) {
    auto table = CaskIndex::parse(R"([
        {"token": "numeric", "version": 12},
        {"token": "unversioned"},
        {"version": "1.0"},
        {"token": 7, "version": "1.0"},
        {"token": "bare", "version": "2.1,445"},
        {"token": "latest", "version": "latest", "artifacts": "not a list"}
    ])");
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.at("bare"), (CaskInfo{"bare", "2.1,445", false, {}}));
    EXPECT_EQ(table.at("latest").version, "latest");
    EXPECT_TRUE(table.at("latest").apps.empty());
}

TEST(CaskIndexParse, CollectsAppNamesAcrossArtifactsInOrder) {
    auto table = CaskIndex::parse(R"([{"token": "t", "version": "1", "artifacts": [
        {"app": ["Plain.app", {"target": "Sub Folder/Renamed.app"}, 42, ["nested.app"]]},
        {"binary": ["Tool.app"]},
        {"app": [{"source": "Untargeted.app"}, {"target": 5}]},
        {"app": "NotAList.app"},
        {"app": [{"target": "Last.app/"}]}
    ]}])");
    EXPECT_EQ(apps(table, "t"), (std::vector<std::string>{"Plain.app", "Renamed.app", "Last.app"}));
}

TEST(CaskIndexParse, ArtifactsWithAnEntryThatIsNoObjectGiveNoApps) {
    auto table = CaskIndex::parse(R"([{"token": "t", "version": "1",
        "artifacts": [{"app": ["A.app"]}, "zap"]}])");
    ASSERT_EQ(table.count("t"), 1u);
    EXPECT_TRUE(table.at("t").apps.empty());
}

TEST(CaskIndexParse, LaterCaskWithSameTokenReplacesEarlier) {
    auto table = CaskIndex::parse(R"([
        {"token": "dup", "version": "1.0", "artifacts": [{"app": ["Old.app"]}]},
        {"token": "other", "version": "3"},
        {"token": "dup", "version": "2.0"}
    ])");
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.at("dup"), (CaskInfo{"dup", "2.0", false, {}}));
}

TEST(CaskIndexParse, OnlyTheJsonValueTrueMeansAutoUpdates) {
    auto table = CaskIndex::parse(R"([
        {"token": "yes", "version": "1", "auto_updates": true},
        {"token": "text", "version": "1", "auto_updates": "true"},
        {"token": "null", "version": "1", "auto_updates": null},
        {"token": "one", "version": "1", "auto_updates": 1},
        {"token": "no", "version": "1", "auto_updates": false},
        {"token": "missing", "version": "1"}
    ])");
    ASSERT_EQ(table.size(), 6u);
    EXPECT_TRUE(table.at("yes").autoUpdates);
    for (const char* token : {"text", "null", "one", "no", "missing"})
        EXPECT_FALSE(table.at(token).autoUpdates) << token;
}

TEST(CaskIndexParse, UnreadableDocumentsGiveAnEmptyTable) {
    EXPECT_TRUE(CaskIndex::parse("").empty());
    EXPECT_TRUE(CaskIndex::parse("<html>not json</html>").empty());
    EXPECT_TRUE(CaskIndex::parse(R"([{"token": "cut", "version": "1"})").empty());
    EXPECT_TRUE(CaskIndex::parse(R"({"token": "t", "version": "1"})").empty());
    // One element that is not an object makes the whole index unreadable.
    EXPECT_TRUE(CaskIndex::parse(R"([{"token": "t", "version": "1"}, "stray"])").empty());
    EXPECT_TRUE(CaskIndex::parse("[\"\xff\"]").empty());
}

TEST(StoreLookupUrl, BuildsLookupQueryInOrderWithLowerCaseCountry) {
    auto url = StoreLookup::url("com.Example.Editor", "DE", "desktopSoftware");
    EXPECT_EQ(url.scheme(), "https");
    EXPECT_FALSE(url.host().empty());
    EXPECT_EQ(url.path(), "/lookup");
    auto query = url.text().substr(url.text().find('?'));
    EXPECT_EQ(query, "?bundleId=com.Example.Editor&entity=desktopSoftware&country=de");
}

TEST(StoreLookupUrl, EncodesValuesAndHonoursAConfiguredService) {
    auto service = Url::parse("http://127.0.0.1:8080/store/").value();
    auto url = StoreLookup::url("a b&c=d", "Us", "mac/Software", service);
    EXPECT_EQ(url.text(), "http://127.0.0.1:8080/store/lookup?bundleId=a%20b%26c%3Dd&entity=mac%2FSoftware&country=us");
}

TEST(StoreLookupParse, ReadsTheFirstResult) {
    auto record = StoreLookup::parse(R"({"resultCount": 2, "results": [
        {"version": "5.2", "trackId": 409183694, "releaseNotes": "Fixes.", "minimumOsVersion": "12.0"},
        {"version": "9.9", "trackId": 1}
    ]})");
    ASSERT_TRUE(record);
    EXPECT_EQ(*record, (StoreRecord{"5.2", 409183694, "Fixes.", "12.0"}));
}

TEST(StoreLookupParse, OptionalTextsOfAnotherTypeAreLeftAbsent) {
    auto record = StoreLookup::parse(R"({"results": [
        {"version": "1.0", "trackId": 7.0, "releaseNotes": 3, "minimumOsVersion": null}]})");
    ASSERT_TRUE(record);
    EXPECT_EQ(*record, (StoreRecord{"1.0", 7, std::nullopt, std::nullopt}));
}

TEST(StoreLookupParse, AbsentWithoutAUsableFirstResult) {
    EXPECT_FALSE(StoreLookup::parse(R"({"resultCount": 0, "results": []})"));
    // The first result decides even when a later one is complete.
    EXPECT_FALSE(StoreLookup::parse(R"({"results": [{"version": "1.0"}, {"version": "2.0", "trackId": 3}]})"));
    EXPECT_FALSE(StoreLookup::parse(R"({"results": [{"version": "1.0", "trackId": 1.5}]})"));
    EXPECT_FALSE(StoreLookup::parse(R"({"results": [{"version": "1.0", "trackId": "12"}]})"));
    EXPECT_FALSE(StoreLookup::parse(R"({"results": [{"version": "1.0", "trackId": true}]})"));
    EXPECT_FALSE(StoreLookup::parse(R"({"results": [{"version": 1, "trackId": 12}]})"));
    EXPECT_FALSE(StoreLookup::parse(R"({"results": {"version": "1.0", "trackId": 12}})"));
    EXPECT_FALSE(StoreLookup::parse(R"([{"version": "1.0", "trackId": 12}])"));
    EXPECT_FALSE(StoreLookup::parse("not json"));
}
