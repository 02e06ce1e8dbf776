#include "DovraneKit/updates/UpdateRecords.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace dovrane;
using nlohmann::json;

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

bool readsWith(const char* key, json value) {
    json document = minimalInfo().toJson();
    document[key] = std::move(value);
    return UpdateInfo::fromJson(document).ok();
}

} // namespace

TEST(UpdateInfoJson, WritesOnlyPresentFieldsAndReadsBackEqual) {
    json written = minimalInfo().toJson();
    EXPECT_EQ(written, json::parse(R"({"bundleID": "com.example.Notes", "currentVersion": "1.0", "newVersion": "1.1",
        "appPath": "file:///Applications/Notes%20Plus.app", "source": "homebrew", "checkedAt": 725000000.5})"));

    for (const auto& info : {minimalInfo(), fullInfo()}) {
        auto read = UpdateInfo::fromJson(json::parse(info.toJson().dump()));
        ASSERT_TRUE(read.ok()) << read.error().message;
        EXPECT_EQ(*read, info);
    }
    EXPECT_TRUE(fullInfo().toJson()["length"].is_number_integer());
}

TEST(UpdateInfoJson, ReadsNullAsAbsentAndRefusesWhatIsMissingOrMistyped) {
    json document = minimalInfo().toJson();
    document["newBuild"] = nullptr;
    document["futureField"] = {1, 2};
    auto read = UpdateInfo::fromJson(document);
    ASSERT_TRUE(read.ok()) << read.error().message;
    EXPECT_EQ(*read, minimalInfo());

    for (const char* key : {"bundleID", "appPath", "currentVersion", "newVersion", "source", "checkedAt"}) {
        json without = minimalInfo().toJson();
        without.erase(key);
        EXPECT_FALSE(UpdateInfo::fromJson(without).ok()) << "without " << key;
    }
    EXPECT_FALSE(readsWith("source", "sideload"));
    EXPECT_FALSE(readsWith("appPath", "not a url"));
    EXPECT_FALSE(readsWith("checkedAt", "2024-05-01"));
    EXPECT_FALSE(readsWith("length", 1.5));
    EXPECT_FALSE(readsWith("releaseNotes", 3));
    EXPECT_FALSE(UpdateInfo::fromJson(json::array()).ok());
}

TEST(UpdateCheckJson, EachCaseIsAnObjectWithOneKeyAndReadsBackEqual) {
    EXPECT_EQ(UpdateCheck::upToDate().toJson(), json::parse(R"({"upToDate": {}})"));
    EXPECT_EQ(UpdateCheck::failed("No network.").toJson(), json::parse(R"({"failed": {"_0": "No network."}})"));
    EXPECT_EQ(UpdateCheck::unsupported("Elsewhere.").toJson(), json::parse(R"({"unsupported": {"_0": "Elsewhere."}})"));
    EXPECT_EQ(UpdateCheck::available(minimalInfo()).toJson(), json({{"available", {{"_0", minimalInfo().toJson()}}}}));

    std::string message = "Die Prüfung schlug fehl: \"Zeitüberschreitung\"\n";
    for (const auto& check : {UpdateCheck::available(fullInfo()), UpdateCheck::upToDate(), UpdateCheck::failed(message),
                              UpdateCheck::unsupported(message)}) {
        auto read = UpdateCheck::fromJson(json::parse(check.toJson().dump()));
        ASSERT_TRUE(read.ok()) << read.error().message;
        EXPECT_EQ(*read, check);
        EXPECT_EQ(read->message(), check.message());
    }
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
        EXPECT_THAT(refused.error().message, ::testing::EndsWith("Invalid number of keys found, expected one."))
            << text;
    }
    for (const char* text : {R"({"failed": {}})", R"({"failed": {"_0": 3}})", R"({"unsupported": "text"})",
                             R"({"available": {"_0": {"bundleID": "x"}}})", R"({"upToDate": []})", R"([])"}) {
        EXPECT_FALSE(read(text).ok()) << text;
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
}

TEST(UpdateCheck, CountsOnlyTheKindsThereAreInTheReportsWords) {
    UpdateInfo info;
    info.newVersion = "2";
    const std::map<std::string, UpdateCheck> results = {
        {"/Applications/A.app", UpdateCheck::available(info)},
        {"/Applications/B.app", UpdateCheck::available(info)},
        {"/Applications/C.app", UpdateCheck::available(info)},
        {"/Applications/D.app", UpdateCheck::failed("offline")},
    };
    EXPECT_EQ(UpdateCheck::countKinds(results), (std::map<std::string, int>{{"available", 3}, {"failed", 1}}));
    EXPECT_TRUE(UpdateCheck::countKinds({}).empty());
    EXPECT_EQ(
        UpdateCheck::countKinds({{"/x.app", UpdateCheck::upToDate()}, {"/y.app", UpdateCheck::unsupported("no")}}),
        (std::map<std::string, int>{{"current", 1}, {"unsupported", 1}}));
}
