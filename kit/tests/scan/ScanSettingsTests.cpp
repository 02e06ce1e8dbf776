#include "DovraneKit/scan/ScanSettings.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace dovrane;
using nlohmann::json;

TEST(ScanSettingsValue, DefaultsAndEquality) {
    ScanSettings defaults;
    EXPECT_EQ(defaults.installerAgeDays, 14);
    EXPECT_TRUE(defaults.excludedPaths.empty());
    EXPECT_TRUE(defaults.projectFolders.empty());
    EXPECT_EQ(defaults.projectAgeDays, 30);

    ScanSettings a{7, {"/a", "/b"}, {"/code"}, 60}, b{7, {"/a", "/b"}, {"/code"}, 60};
    EXPECT_EQ(a, b);
    b.excludedPaths = {"/b", "/a"};
    EXPECT_NE(a, b);
}

TEST(ScanSettingsJson, AllFourKeysWrittenAndRestoredExactly) {
    ScanSettings settings{1, {"/", "/home/u/Movies/Große Dateien"}, {"/home/u/code", "/srv/p"}, 365};
    auto written = json::parse(settings.toJson().dump());
    EXPECT_EQ(written.size(), 4u);
    EXPECT_EQ(written["installerAgeDays"], 1);
    EXPECT_EQ(written["projectFolders"], json({"/home/u/code", "/srv/p"}));
    auto back = ScanSettings::fromJson(written);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, settings);

    auto defaults = ScanSettings::fromJson(ScanSettings{}.toJson());
    ASSERT_TRUE(defaults);
    EXPECT_EQ(*defaults, ScanSettings{});
}

TEST(ScanSettingsJson, DecodingRequiresEveryKeyAndTheRightTypes) {
    const json valid = ScanSettings{3, {"/x"}, {}, 9}.toJson();
    auto fails = [&](auto change) {
        json broken = valid;
        change(broken);
        return !ScanSettings::fromJson(broken).ok();
    };
    EXPECT_TRUE(fails([](json& j) { j.erase("projectAgeDays"); }));
    EXPECT_TRUE(fails([](json& j) { j.erase("excludedPaths"); }));
    EXPECT_TRUE(fails([](json& j) { j["installerAgeDays"] = "14"; }));
    EXPECT_TRUE(fails([](json& j) { j["installerAgeDays"] = 14.5; }));
    EXPECT_TRUE(fails([](json& j) { j["projectAgeDays"] = 10'000'000'000LL; }));
    EXPECT_TRUE(fails([](json& j) { j["excludedPaths"] = json({"/a", 1}); }));
    EXPECT_TRUE(fails([](json& j) { j["projectFolders"] = "/code"; }));
    EXPECT_TRUE(fails([](json& j) { j = json::array(); }));
    EXPECT_FALSE(fails([](json& j) { j["installerAgeDays"] = -5; })); // the library does not clamp
}
