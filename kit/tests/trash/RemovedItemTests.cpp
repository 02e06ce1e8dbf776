#include "DovraneKit/trash/RemovedItem.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace dovrane;
using nlohmann::json;

TEST(RemovedItemJson, PathsStayPlainAndRoundTrip) {
    RemovedItem removed{Url::fromPath("/home/u/Downloads/Grüße an Jörg.dmg"),
                        Url::fromPath("/home/u/.local/share/Trash/files/Grüße an Jörg.dmg"), 52'000'000, true};
    auto written = json::parse(removed.toJson().dump());
    EXPECT_EQ(written["originalPath"], removed.originalPath.path());
    EXPECT_EQ(written["trashPath"], removed.trashPath.path());
    EXPECT_EQ(written.size(), 4u);
    auto back = RemovedItem::fromJson(written);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, removed);

    written.erase("needsAdmin");
    EXPECT_FALSE(RemovedItem::fromJson(written));
    written["needsAdmin"] = "true";
    EXPECT_FALSE(RemovedItem::fromJson(written));
    written["needsAdmin"] = false;
    written["size"] = "52000000";
    EXPECT_FALSE(RemovedItem::fromJson(written));
}

TEST(RemovedItemJson, PathsThatAreNotUtf8SurviveExactly) {
    RemovedItem removed{Url::fromPath("/home/u/Downloads/caf\xE9 \xFF.dmg"),
                        Url::fromPath("/home/u/.local/share/Trash/files/caf\xE9 \xFF.dmg"), 4096, false};
    std::string text = removed.toJson().dump(); // must not throw on the invalid bytes
    auto written = json::parse(text);
    EXPECT_EQ(written["originalPath"], "/home/u/Downloads/caf\xEF\xBF\xBD \xEF\xBF\xBD.dmg");
    auto back = RemovedItem::fromJson(written);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, removed);

    written["trashPathBytes"] = "not base64!";
    EXPECT_FALSE(RemovedItem::fromJson(written));
}

TEST(RemovedItemJson, PathBytesAreStrictBase64) {
    RemovedItem removed{Url::fromPath("/home/u/caf\xE9"), Url::fromPath("/home/u/.local/share/Trash/files/caf\xE9"), 1,
                        false};
    auto written = removed.toJson();
    const std::string bytes = written["originalPathBytes"];
    // Bytes outside the alphabet once decoded as "/": the record would name another path.
    for (std::string damaged : {bytes + "\xC3\xA9\xC3\xA9", bytes.substr(0, bytes.size() - 1) + "\xFF",
                                bytes + "====", bytes.substr(0, bytes.size() - 1), " " + bytes, "=" + bytes}) {
        written["originalPathBytes"] = damaged;
        EXPECT_FALSE(RemovedItem::fromJson(written)) << damaged;
    }
    written["originalPathBytes"] = bytes;
    auto back = RemovedItem::fromJson(written);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->originalPath, removed.originalPath);
}

// The item's identity is an added field: written when known, read back exactly, left out of
// records made before it; a malformed one is refused.
TEST(RemovedItemJson, TheIdentityIsAnAddedFieldThatOlderRecordsLack) {
    RemovedItem removed{Url::fromPath("/home/u/a"), Url::fromPath("/home/u/.local/share/Trash/files/a"), 1, false,
                        FolderDescent::Identity::File{2049, 77, 1'700'000'000'123'456'789}};
    auto written = json::parse(removed.toJson().dump());
    EXPECT_EQ(written["identity"], "2049:77:1700000000123456789");
    auto back = RemovedItem::fromJson(written);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(back->identity, removed.identity);

    written.erase("identity");
    back = RemovedItem::fromJson(written);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, removed); // the four values the journal shows
    EXPECT_FALSE(back->identity);
    EXPECT_EQ(RemovedItem{*back}.toJson().size(), 4u);

    for (const json& wrong : {json("2049:77"), json(77), json("a:b:c")}) {
        written["identity"] = wrong;
        EXPECT_FALSE(RemovedItem::fromJson(written)) << wrong;
    }
}
