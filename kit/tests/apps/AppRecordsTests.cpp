#include "DovraneKit/apps/AppRecords.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace dovrane;
using nlohmann::json;

namespace {

InstalledApp bareApp() {
    InstalledApp app;
    app.bundleID = "com.example.Editor";
    app.name = "Editor";
    app.version = "2.4";
    app.path = Url::fromPath("/Applications/My Editor.app");
    app.source = AppSource::unknown;
    app.size = 123'456'789;
    app.isSystem = false;
    return app;
}

InstalledApp fullApp() {
    auto app = bareApp();
    app.build = "2401";
    app.teamID = "ABCDE12345";
    app.source = AppSource::appStore;
    app.feedURL = *Url::parse("https://example.com/appcast.xml?channel=beta");
    app.edKey = "pfIShU4dEXqPd5ObYNfDBiQWcXozk7estwzTnF9BamQ=";
    app.caskToken = "my-editor";
    app.lastUsed = Date{735'000'000.75};
    app.isSystem = true;
    return app;
}

} // namespace

TEST(AppSourceNames, CaseNamesInOrder) {
    const char* names[] = {"sparkle", "homebrew", "appStore", "apple", "unknown"};
    for (std::size_t i = 0; i < allAppSources.size(); ++i) {
        EXPECT_EQ(rawValue(allAppSources[i]), names[i]);
        EXPECT_EQ(appSourceFromRaw(names[i]), allAppSources[i]);
    }
    EXPECT_FALSE(appSourceFromRaw(""));
    EXPECT_FALSE(appSourceFromRaw("AppStore"));
}

TEST(InstalledAppIdentity, PathIsTheIdentityAndEveryFieldCountsForEquality) {
    auto a = fullApp(), b = fullApp();
    EXPECT_EQ(a, b);
    b.lastUsed = Date{735'000'001};
    EXPECT_NE(a, b);
    EXPECT_EQ(a.id(), b.id());
    EXPECT_EQ(a.id(), "/Applications/My Editor.app");
}

TEST(InstalledAppJson, AbsentOptionalsAreLeftOutAndReadBackAbsent) {
    auto app = bareApp();
    auto written = json::parse(app.toJson().dump());
    for (const char* key : {"build", "teamID", "feedURL", "edKey", "caskToken", "lastUsed"})
        EXPECT_FALSE(written.contains(key)) << key;
    EXPECT_EQ(written["source"], "unknown");
    EXPECT_EQ(written["path"], "file:///Applications/My%20Editor.app");
    auto back = InstalledApp::fromJson(written);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, app);

    for (const char* key : {"build", "teamID", "feedURL", "edKey", "caskToken", "lastUsed"})
        written[key] = nullptr;
    back = InstalledApp::fromJson(written);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, app);
}

TEST(InstalledAppJson, EveryFieldRoundTrips) {
    auto app = fullApp();
    auto written = json::parse(app.toJson().dump());
    EXPECT_EQ(written["source"], "appStore");
    EXPECT_EQ(written["feedURL"], "https://example.com/appcast.xml?channel=beta");
    EXPECT_EQ(written["lastUsed"].get<double>(), 735'000'000.75);
    auto back = InstalledApp::fromJson(written);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, app);
}

TEST(InstalledAppJson, FaultsMakeTheRecordUnreadable) {
    const json valid = fullApp().toJson();
    auto fails = [&](auto change) {
        json broken = valid;
        change(broken);
        return !InstalledApp::fromJson(broken).ok();
    };
    EXPECT_TRUE(fails([](json& j) { j["source"] = ""; }));
    EXPECT_TRUE(fails([](json& j) { j["source"] = "mas"; }));
    EXPECT_TRUE(fails([](json& j) { j.erase("isSystem"); }));
    EXPECT_TRUE(fails([](json& j) { j.erase("path"); }));
    EXPECT_TRUE(fails([](json& j) { j["isSystem"] = 1; }));
    EXPECT_TRUE(fails([](json& j) { j["size"] = 1.5; }));
    EXPECT_TRUE(fails([](json& j) { j["build"] = 2401; }));
    EXPECT_TRUE(fails([](json& j) { j["feedURL"] = "https://exa mple.com"; }));
    EXPECT_TRUE(fails([](json& j) { j["lastUsed"] = true; }));
    EXPECT_FALSE(fails([](json& j) { j["unrelated"] = 1; }));
}
