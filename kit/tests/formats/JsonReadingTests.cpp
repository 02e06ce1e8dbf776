#include "DovraneKit/formats/JsonReading.h"
#include "DovraneKit/system/FileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace dovrane;
using namespace dovrane::testing;

TEST(JsonReading, NestingBeyondTheLimitIsRefused) {
    auto within = Json::read(nestedJson(Json::maximumDepth));
    ASSERT_TRUE(within);
    EXPECT_EQ(within->dump(), nestedJson(Json::maximumDepth));
    EXPECT_FALSE(Json::read(nestedJson(Json::maximumDepth + 1)));
    EXPECT_FALSE(Json::read(nestedJson(200'000)));
    // Deep and unfinished, or deep inside a string: only real nesting counts.
    EXPECT_FALSE(Json::read(std::string(300'000, '[')));
    EXPECT_TRUE(Json::read("\"" + std::string(300'000, '[') + "\""));

    EXPECT_EQ(Json::read("{\"a\": [1, 2.5, null, true, \"x\"]}")->at("a").size(), 5u);
    for (const char* broken : {"", "{", "[1,]", "{\"a\" 1}", "nul", "\"\xff\"", "1 2"})
        EXPECT_FALSE(Json::read(broken)) << broken;
}

TEST(JsonReading, LongArraysOfObjectsReadAsTheLibraryParsesThem) {
    std::string text = "{\"items\":[";
    for (int i = 0; i < 20'000; ++i)
        text += (i ? "," : "") + std::string("{\"n\":") + std::to_string(i) + ",\"s\":[\"x\",{\"d\":1.5}]}";
    text += "],\"tail\":{\"a\":null}}";
    auto read = Json::read(text);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, nlohmann::json::parse(text));
    EXPECT_EQ(read->at("items").size(), 20'000u);
    // A repeated key keeps its last value; numbers keep their kinds.
    const std::string mixed = R"({"a":1,"a":[18446744073709551615,-1,1.5,"\u00e9",{}],"b":{"c":null},"":false})";
    auto kinds = Json::read(mixed);
    ASSERT_TRUE(kinds);
    EXPECT_EQ(*kinds, nlohmann::json::parse(mixed));
    EXPECT_TRUE(kinds->at("a").at(0).is_number_unsigned());
    EXPECT_TRUE(kinds->at("a").at(1).is_number_integer());
    EXPECT_TRUE(kinds->at("a").at(2).is_number_float());
    EXPECT_EQ(*Json::read("\xEF\xBB\xBF 7 "), 7);
    // Depth is counted for the open containers only: siblings never add up.
    EXPECT_TRUE(Json::read("[" + nestedJson(Json::maximumDepth - 1) + "," + nestedJson(Json::maximumDepth - 1) + "]"));
    EXPECT_FALSE(Json::read("[1," + nestedJson(Json::maximumDepth) + "]"));
}

// The elements of a long array arrive one by one as the library parses them; what is no array,
// broken or too deep is refused, and a refusal by the taker ends the reading there.
TEST(JsonReading, ArraysAreReadOneElementAtATime) {
    const std::string text = R"([{"a":[1,{"b":null}]},[],"x",2.5,-3,18446744073709551615,true,null,{}])";
    std::vector<nlohmann::json> taken;
    const auto take = [&taken](nlohmann::json&& element) {
        taken.push_back(std::move(element));
        return true;
    };
    ASSERT_TRUE(Json::readEach(text, take));
    EXPECT_EQ(nlohmann::json(taken), nlohmann::json::parse(text));
    EXPECT_TRUE(taken[5].is_number_unsigned());

    taken.clear();
    EXPECT_TRUE(Json::readEach(" [ ] ", take));
    EXPECT_TRUE(taken.empty());
    for (const char* refused : {"", "{}", "7", "\"[]\"", "[1,]", "[1] [2]", "[{\"a\" 1}]", "[[]"})
        EXPECT_FALSE(Json::readEach(refused, take)) << refused;
    // The array itself is one level: its elements may nest one level less than a document.
    EXPECT_TRUE(Json::readEach("[" + nestedJson(Json::maximumDepth - 1) + "]", take));
    EXPECT_FALSE(Json::readEach("[1," + nestedJson(Json::maximumDepth) + "]", take));

    int seen = 0;
    EXPECT_FALSE(Json::readEach("[1,2,3,4]", [&seen](nlohmann::json&&) { return ++seen < 2; }));
    EXPECT_EQ(seen, 2);
}
