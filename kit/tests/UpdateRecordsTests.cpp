#include "DovraneKit/UpdateRecords.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>

using namespace dovrane;
using nlohmann::json;
using ::testing::HasSubstr;

namespace {

UpdateInfo minimalInfo() {
    UpdateInfo info;
    info.bundleID = "com.example.Notes";
    info.appPath = Url::fromPath("/Applications/Notes Plus.app");
    info.currentVersion = "1.0";
    info.newVersion = "1.1";
    info.source = AppSource::homebrew;
    info.checkedAt = Date{7.25e8 + 0.5};
    return info;
}

UpdateInfo fullInfo() {
    UpdateInfo info = minimalInfo();
    info.source = AppSource::sparkle;
    info.newBuild = "1100";
    info.releaseNotes = "Faster.\n\u2022 Fixes";
    info.releaseNotesURL = Url::parse("https://example.com/notes");
    info.downloadURL = Url::parse("https://example.com/Notes-1.1.zip");
    info.length = 5'000'000'000;
    info.edSignature = "c2lnbmF0dXJl";
    info.storeURL = Url::parse("https://apps.example.com/app/id1");
    info.caskToken = "notes-plus";
    return info;
}

json minimalJson() { return minimalInfo().toJson(); }

} // namespace

TEST(UpdateInfoJson, WritesOnlyPresentFieldsAndReadsBackEqual) {
    json written = minimalInfo().toJson();
    std::set<std::string> keys;
    for (const auto& [key, value] : written.items())
        keys.insert(key);
    EXPECT_EQ(keys, (std::set<std::string>{"bundleID", "appPath", "currentVersion", "newVersion", "source", "checkedAt"}));
    EXPECT_EQ(written["appPath"], "file:///Applications/Notes%20Plus.app");
    EXPECT_EQ(written["source"], "homebrew");
    EXPECT_DOUBLE_EQ(written["checkedAt"].get<double>(), 7.25e8 + 0.5);

    for (const auto& info : {minimalInfo(), fullInfo()}) {
        auto read = UpdateInfo::fromJson(json::parse(info.toJson().dump()));
        ASSERT_TRUE(read.ok()) << read.error().message;
        EXPECT_EQ(*read, info);
    }
    EXPECT_TRUE(fullInfo().toJson()["length"].is_number_integer());
}

TEST(UpdateInfoJson, NullOrMissingOptionalsAreAbsentAndUnknownKeysIgnored) {
    json document = minimalJson();
    document["newBuild"] = nullptr;
    document["futureField"] = {1, 2};
    auto read = UpdateInfo::fromJson(document);
    ASSERT_TRUE(read.ok()) << read.error().message;
    EXPECT_FALSE(read->newBuild);
    EXPECT_EQ(*read, minimalInfo());
}

TEST(UpdateInfoJson, RefusesMissingRequiredKeysAndWrongTypes) {
    for (const char* key : {"bundleID", "appPath", "currentVersion", "newVersion", "source", "checkedAt"}) {
        json document = minimalJson();
        document.erase(key);
        EXPECT_FALSE(UpdateInfo::fromJson(document).ok()) << "without " << key;
    }
    auto with = [](const char* key, json value) {
        json document = minimalJson();
        document[key] = std::move(value);
        return UpdateInfo::fromJson(document).ok();
    };
    EXPECT_FALSE(with("source", "sideload"));
    EXPECT_FALSE(with("appPath", "not a url"));
    EXPECT_FALSE(with("checkedAt", "2024-05-01"));
    EXPECT_FALSE(with("length", "12"));
    EXPECT_FALSE(with("length", 1.5));
    EXPECT_FALSE(with("releaseNotes", 3));
    EXPECT_FALSE(with("downloadURL", "has spaces in it"));
    EXPECT_FALSE(UpdateInfo::fromJson(json::array()).ok());
}

TEST(UpdateCheckJson, EachCaseIsAnObjectWithOneKey) {
    EXPECT_EQ(UpdateCheck::upToDate().toJson(), json::parse(R"({"upToDate": {}})"));
    EXPECT_EQ(UpdateCheck::failed("No network.").toJson(), json::parse(R"({"failed": {"_0": "No network."}})"));
    EXPECT_EQ(UpdateCheck::unsupported("From elsewhere.").toJson(),
              json::parse(R"({"unsupported": {"_0": "From elsewhere."}})"));
    json available = UpdateCheck::available(minimalInfo()).toJson();
    ASSERT_EQ(available.size(), 1u);
    EXPECT_EQ(available["available"]["_0"], minimalJson());
}

TEST(UpdateCheckJson, EveryCaseReadsBackEqual) {
    std::string message = "Die Prüfung schlug fehl: \"Zeitüberschreitung\"\n";
    for (const auto& check : {UpdateCheck::available(fullInfo()), UpdateCheck::upToDate(), UpdateCheck::failed(message),
                              UpdateCheck::unsupported(message)}) {
        auto read = UpdateCheck::fromJson(json::parse(check.toJson().dump()));
        ASSERT_TRUE(read.ok()) << read.error().message;
        EXPECT_EQ(*read, check);
    }
    auto failed = UpdateCheck::fromJson(UpdateCheck::failed(message).toJson());
    ASSERT_TRUE(failed.ok());
    EXPECT_EQ(failed->message(), message);
}

TEST(UpdateCheckJson, CountsOnlyCaseNamesAsKeys) {
    auto read = [](const char* text) { return UpdateCheck::fromJson(json::parse(text)); };

    auto upToDate = read(R"({"upToDate": {"stale": true}})");
    ASSERT_TRUE(upToDate.ok());
    EXPECT_EQ(upToDate->kind(), UpdateCheck::Kind::upToDate);

    auto failed = read(R"({"failed": {"_0": "x"}, "note": 1})");
    ASSERT_TRUE(failed.ok());
    EXPECT_EQ(*failed, UpdateCheck::failed("x"));

    for (const char* text : {R"({})", R"({"note": {}})", R"({"failed": {"_0": "a"}, "unsupported": {"_0": "b"}})"}) {
        auto refused = read(text);
        ASSERT_FALSE(refused.ok()) << text;
        EXPECT_THAT(refused.error().message, HasSubstr("Invalid number of keys found, expected one.")) << text;
    }
}

TEST(UpdateCheckJson, RefusesMalformedPayloads) {
    for (const char* text : {R"({"failed": {}})", R"({"failed": {"_0": 3}})", R"({"unsupported": "text"})",
                             R"({"available": {}})", R"({"available": {"_0": {"bundleID": "x"}}})",
                             R"({"upToDate": []})", R"([])", R"("upToDate")"}) {
        EXPECT_FALSE(UpdateCheck::fromJson(json::parse(text)).ok()) << text;
    }
}

TEST(UpdateCheck, EqualityAndUpdateFollowTheCase) {
    EXPECT_EQ(UpdateCheck::available(minimalInfo()).update(), minimalInfo());
    EXPECT_FALSE(UpdateCheck::upToDate().update());
    EXPECT_FALSE(UpdateCheck::failed("x").update());
    EXPECT_FALSE(UpdateCheck::unsupported("x").update());

    EXPECT_NE(UpdateCheck::failed("x"), UpdateCheck::unsupported("x"));
    EXPECT_NE(UpdateCheck::failed("x"), UpdateCheck::failed("y"));
    EXPECT_NE(UpdateCheck::available(minimalInfo()), UpdateCheck::available(fullInfo()));
    EXPECT_EQ(UpdateCheck::upToDate(), UpdateCheck::upToDate());
}
