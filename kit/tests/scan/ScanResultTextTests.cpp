#include "DovraneKit/formats/JsonReading.h"
#include "DovraneKit/scan/ScanModel.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace dovrane;
using json = nlohmann::json;

namespace {

ScanResult sampleScan() {
    ScanResult scan;
    scan.date = Date{736'000'000.5};
    scan.volume = "Platte";
    scan.total = 500'000'000'000;
    scan.free = 120'000'000'000;
    scan.available = 100'000'000'000;
    CleanupItem used(Url::fromPath("/home/u/.cache/com.ex ample/ü"), "Example cache", 4096, 3, Date{700'000'000.25},
                     "A cache.", "caches.app", Safety::safe, CleanupAction::trash);
    used.ground = CleanupItem::Ground{{{2049, 131077, 1'700'000'000'123'456'789}, {2049, 12, 0}}, 1000};
    CleanupItem snapshot(*Url::parse("tmsnapshot:2024-05-01-093012"), std::nullopt, 0, 1, std::nullopt, "A snapshot.",
                         "snapshots.local", Safety::review, CleanupAction::deleteSnapshot);
    scan.categories = {Category(CategoryID::caches, std::nullopt, {used, used}),
                       Category(CategoryID::snapshots, 0, {snapshot}, true, "Size not disclosed"),
                       Category(CategoryID::mailDownloads)};
    return scan;
}

// The document's way: the one the one-pass reader must agree with on every text.
Expected<ScanResult> readThroughDocument(std::string_view text) {
    auto document = Json::read(text);
    if (!document)
        return Failure{"no JSON"};
    return ScanResult::fromJson(*document);
}

// Both refuse, or both read the same records.
::testing::AssertionResult readsAlike(std::string_view text) {
    const auto onePass = ScanResult::fromJsonText(text);
    const auto document = readThroughDocument(text);
    if (bool(onePass) != bool(document))
        return ::testing::AssertionFailure()
               << (onePass ? "only the one-pass reader reads " : "only the document reads ") << text;
    if (onePass && !(*onePass == *document))
        return ::testing::AssertionFailure() << "the two read different records from " << text;
    return ::testing::AssertionSuccess();
}

std::string nested(int levels) {
    return std::string(std::size_t(levels), '[') + "1" + std::string(std::size_t(levels), ']');
}

// The sample's text with `from` replaced by `to` once.
std::string edited(const std::string& from, const std::string& to) {
    std::string text = sampleScan().toJson().dump();
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

} // namespace

TEST(ScanResultText, ReadsWhatTheDocumentReads) {
    const std::string text = sampleScan().toJson().dump();
    auto read = ScanResult::fromJsonText(text);
    ASSERT_TRUE(read) << read.error().message;
    EXPECT_EQ(*read, sampleScan());
    EXPECT_EQ(*read, *readThroughDocument(text));

    // Laid out by hand, with a byte-order mark, unknown keys of every kind and escapes in keys.
    std::string spaced = sampleScan().toJson().dump(2);
    EXPECT_TRUE(ScanResult::fromJsonText(spaced));
    for (const std::string& variant : {
             "\xEF\xBB\xBF" + text,
             " \t\r\n" + spaced + "\n",
             text + std::string("\0", 1) + "anything after a zero byte",
             text + std::string(" \0", 2),
             edited("\"date\"", "\"x\":{\"a\":[null,true,false,-1.5e-3,\"\\u00e9\\ud83d\\ude00\"]},\"d\\u0061te\""),
             edited("\"size\":4096", "\"size\":4096.0,\"extra\":[[[]],{}]"),
             edited("\"lastUsed\":700000000.25", "\"lastUsed\":null"),
             edited("\"note\":\"Size not disclosed\"", "\"note\":null"),
             edited("\"volume\":\"Platte\"",
                    "\"volume\":\"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u0000\x7f\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\""),
             edited("\"total\":500000000000", "\"total\":-0"),
             edited("\"total\":500000000000", "\"total\":4611686018427387904.0"),
             edited("\"date\":736000000.5", "\"date\":-12"),
             edited("\"date\":736000000.5", "\"date\":18446744073709551616"),
             edited("\"date\":736000000.5", "\"date\":1e-400"),
             edited("\"date\":736000000.5", "\"date\":4.9e-324"),
             edited("\"date\":736000000.5", "\"date\":2.2250738585072011e-308"),
             edited("\"date\":736000000.5", "\"date\":1.7976931348623157e308"),
             edited("\"ground\":{", "\"ground\":null,\"x\":{"),
             edited("\"owner\":1000", "\"owner\":1000.0,\"extra\":[]"),
         }) {
        EXPECT_TRUE(ScanResult::fromJsonText(variant)) << variant;
        EXPECT_TRUE(readsAlike(variant));
    }
}

TEST(ScanResultText, ARepeatedKeyReplacesTheEarlierValueAsInTheDocument) {
    const std::string text = sampleScan().toJson().dump();
    const std::vector<std::pair<std::string, bool>> cases = {
        // A wrong value mended by a later one, and the other way round.
        {edited("\"total\":500000000000", "\"total\":\"many\",\"total\":7"), true},
        {edited("\"total\":500000000000", "\"total\":7,\"total\":\"many\""), false},
        {edited("\"volume\":\"Platte\"", "\"volume\":\"Platte\",\"volume\":null"), false},
        {edited("\"note\":\"Size not disclosed\"", "\"note\":3,\"note\":null"), true},
        {edited("\"lastUsed\":700000000.25", "\"lastUsed\":\"soon\",\"lastUsed\":5"), true},
        {edited("\"url\":", "\"url\":\"no url\",\"url\":"), true},
        {edited("\"safety\":\"safe\"", "\"safety\":\"safe\",\"safety\":\"Safe\""), false},
        // A whole list replaced: a broken first one does not count, a good first one is gone.
        {edited("\"categories\":[", "\"categories\":[{\"id\":\"nothing\"}],\"categories\":["), true},
        {edited("\"categories\":[", "\"categories\":[],\"categories\":7,\"categories\":["), true},
        {edited("\"items\":[", "\"items\":[1,2],\"items\":["), true},
        {text.substr(0, text.size() - 1) + ",\"categories\":[]}", true},
        {text.substr(0, text.size() - 1) + ",\"categories\":null}", false},
    };
    for (const auto& [variant, reads] : cases) {
        EXPECT_EQ(bool(ScanResult::fromJsonText(variant)), reads) << variant;
        EXPECT_TRUE(readsAlike(variant));
    }
    auto emptied = ScanResult::fromJsonText(text.substr(0, text.size() - 1) + ",\"categories\":[]}");
    ASSERT_TRUE(emptied);
    EXPECT_TRUE(emptied->categories.empty());
}

TEST(ScanResultText, RefusesEveryHostileTextTheDocumentRefuses) {
    const std::string text = sampleScan().toJson().dump();
    const std::string inUnknownKey = text.substr(0, text.size() - 1) + ",\"x\":";
    const std::string itemStart = "{\"action\"";
    // Nesting: 64 open arrays and objects are allowed wherever they are (an item is the fifth),
    // 65 are not.
    for (const std::string& deepest : {inUnknownKey + nested(Json::maximumDepth - 1) + "}",
                                       edited(itemStart, "{\"x\":" + nested(Json::maximumDepth - 5) + ",\"action\"")}) {
        EXPECT_TRUE(ScanResult::fromJsonText(deepest));
        EXPECT_TRUE(readsAlike(deepest));
    }
    std::vector<std::string> hostile = {
        "",
        " ",
        "null",
        "[]",
        "\"text\"",
        "\xEF\xBB",
        "\xEF\xBB\xBE{}",
        text + "x",
        text + "{}",
        std::string("\0", 1) + text,
        edited(",\"date\"", std::string(",\0\"date\"", 8)),
        text.substr(0, text.size() - 1),
        text.substr(0, text.size() / 2),
        inUnknownKey + nested(Json::maximumDepth) + "}",
        inUnknownKey + std::string(100'000, '[') + "}",
        edited(itemStart, "{\"x\":" + nested(Json::maximumDepth - 4) + ",\"action\""),
        // Grammar.
        edited(",\"date\"", ",,\"date\""),
        edited("]", ",]"),
        edited("\"total\":500000000000", "\"total\":0500000000000"),
        edited("\"total\":500000000000", "\"total\":+5"),
        edited("\"total\":500000000000", "\"total\":5."),
        edited("\"total\":500000000000", "\"total\":.5"),
        edited("\"total\":500000000000", "\"total\":5e"),
        edited("\"total\":500000000000", "\"total\":-"),
        edited("\"date\":736000000.5", "\"date\":1e400"),
        edited("\"date\":736000000.5", "\"date\":-1e400"),
        inUnknownKey + "1e309}",
        inUnknownKey + "tru}",
        inUnknownKey + "nul}",
        inUnknownKey + "'a'}",
        edited("\"date\"", "date"),
        edited("\"date\":", "\"date\" "),
        // Strings: control characters, escapes and UTF-8 that is not well formed.
        edited("Platte", "Pla\ntte"),
        edited("Platte", std::string("Pla\0tte", 7)),
        edited("Platte", "Pla\\xtte"),
        edited("Platte", "Pla\\u12"),
        edited("Platte", "Pla\\u12G4"),
        edited("Platte", "\\ud83d"),
        edited("Platte", "\\ud83dx"),
        edited("Platte", "\\ud83d\\u0041"),
        edited("Platte", "\\ude00"),
        edited("Platte", "\xc0\x80"),
        edited("Platte", "\xc3"),
        edited("Platte", "\xed\xa0\x80"),
        edited("Platte", "\xe0\x80\x80"),
        edited("Platte", "\xf0\x8f\xbf\xbf"),
        edited("Platte", "\xf4\x90\x80\x80"),
        edited("Platte", "\xf5\x80\x80\x80"),
        edited("Platte", "\x80"),
        edited("Platte", "Platte\\"),
        // Records.
        edited("\"volume\":\"Platte\"", "\"volume\":null"),
        edited("\"volume\":\"Platte\"", "\"volume\":[]"),
        edited("\"total\":500000000000", "\"total\":1.5"),
        edited("\"total\":500000000000", "\"total\":-1"),
        edited("\"total\":500000000000", "\"total\":4611686018427387905"),
        edited("\"total\":500000000000", "\"total\":9223372036854775808"),
        edited("\"total\":500000000000", "\"total\":-9223372036854775809"),
        edited("\"total\":500000000000", "\"total\":1e19"),
        edited("\"total\":500000000000", "\"total\":true"),
        edited("\"date\":736000000.5", "\"date\":\"today\""),
        edited("\"date\":736000000.5", "\"date\":null"),
        edited("\"id\":\"caches\"", "\"id\":\"Caches\""),
        edited("\"sizeIsEstimate\":false", "\"sizeIsEstimate\":0"),
        edited("\"note\":\"Size not disclosed\"", "\"note\":{}"),
        edited("\"lastUsed\":700000000.25", "\"lastUsed\":\"yesterday\""),
        edited("\"url\":\"", "\"url\":\"no url"),
        edited("\"url\":\"", "\"url\":\"file:///a%00b\",\"x\":\""),
        edited("\"action\":\"trash\"", "\"action\":\"delete\""),
        edited("\"fileCount\":3", "\"fileCount\":\"3\""),
        edited("\"items\":[", "\"items\":[7,"),
        edited("\"items\":[", "\"items\":{},\"x\":["),
        edited("\"categories\":[", "\"categories\":[[],"),
        edited("\"categories\":[", "\"categories\":{\"a\":["),
        edited(",\"reason\"", ",\"Reason\""),
        edited("\"ground\":{", "\"ground\":3,\"x\":{"),
        edited("\"owner\":1000", "\"owner\":-1"),
        edited("\"owner\":1000", "\"owner\":4294967296"),
        edited("\"item\":\"2049:131077:", "\"item\":\"2049:"),
        edited("\"folder\":\"2049:12:0\",", ""),
        "[" + text + "]",
    };
    for (const std::string& variant : hostile) {
        EXPECT_FALSE(ScanResult::fromJsonText(variant)) << variant;
        EXPECT_TRUE(readsAlike(variant));
    }
}

TEST(ScanResultText, AgreesWithTheDocumentOnRandomlyDamagedTexts) {
    const std::string text = sampleScan().toJson().dump();
    const std::string bytes = "{}[],:\"\\0123456789-+.eEtrufalsn \x80\xc3\xbf";
    std::mt19937 random(33);
    int read = 0;
    for (int round = 0; round < 10'000; ++round) {
        std::string damaged = text;
        const int changes = 1 + int(random() % 3);
        for (int change = 0; change < changes; ++change) {
            const std::size_t at = random() % damaged.size();
            switch (random() % 3) {
            case 0:
                damaged[at] = bytes[random() % bytes.size()];
                break;
            case 1:
                damaged.erase(at, 1 + random() % 4);
                break;
            default:
                damaged.insert(at, 1, bytes[random() % bytes.size()]);
            }
            if (damaged.empty())
                damaged = "{";
        }
        ASSERT_TRUE(readsAlike(damaged));
        read += bool(ScanResult::fromJsonText(damaged));
    }
    // Many damages leave a readable scan (a changed digit or name): both ways are exercised.
    EXPECT_GT(read, 500);
    EXPECT_LT(read, 9'500);
}

TEST(ScanResultText, ReadsALongListInOneCategory) {
    // The nesting is counted as the text goes: a list looked through again at the end of every
    // item would take minutes here.
    std::string text = "{\"available\":0,\"categories\":[{\"id\":\"caches\",\"items\":[";
    for (int index = 0; index < 50'000; ++index)
        text += (index ? "," : "") +
                std::string("{\"action\":\"trash\",\"fileCount\":1,\"name\":\"n\",\"reason\":\"r\","
                            "\"safety\":\"safe\",\"size\":1,\"source\":\"s\",\"url\":\"file:///c/") +
                std::to_string(index) + "\"}";
    text += "],\"size\":0,\"sizeIsEstimate\":false}],\"date\":0,\"free\":0,\"total\":0,\"volume\":\"v\"}";
    auto read = ScanResult::fromJsonText(text);
    ASSERT_TRUE(read) << read.error().message;
    ASSERT_EQ(read->categories.size(), 1u);
    ASSERT_EQ(read->categories[0].items.size(), 50'000u);
    EXPECT_EQ(read->categories[0].items.back().url.path(), "/c/49999");
}

TEST(ScanResultText, WritesTheDocumentsBytes) {
    ScanResult scan = sampleScan();
    scan.volume = std::string("Pla\"tte\\ \x01\x1f\x7f \xff\b\f\n\r\t/", 20);
    scan.date = Date{-0.1};
    scan.total = -5;
    scan.free = std::numeric_limits<std::int64_t>::max();
    scan.available = std::numeric_limits<std::int64_t>::min();
    CleanupItem& item = scan.categories[0].items[0];
    item.name = "Größe \xfe\x80";
    item.reason = std::string("tab\there \0 end", 14);
    item.source = "\xe2\x82\xac";
    scan.categories[1].note = "\"quoted\"";
    const double dates[] = {
        0.0,  -0.0,   1e9,   1e15,      1e16,    1e17,    123456789.123456789, 1e-5,
        1e-4, 5e-324, 1e300, 0.1 + 0.2, -2.5e-7, 1.0 / 3, std::nan(""),        std::numeric_limits<double>::infinity()};
    for (double date : dates) {
        scan.categories[0].items[1].lastUsed = Date{date};
        EXPECT_EQ(scan.toJsonText(), scan.toJson().dump()) << date;
    }
    EXPECT_EQ(ScanResult().toJsonText(), ScanResult().toJson().dump());
    EXPECT_EQ(sampleScan().toJsonText(), sampleScan().toJson().dump());
    // What it writes reads back, with the names made readable, once its sizes are in range.
    scan.categories[0].items[1].lastUsed = Date{12.5};
    scan.total = scan.free = scan.available = 0;
    auto back = ScanResult::fromJsonText(scan.toJsonText());
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, *ScanResult::fromJson(json::parse(scan.toJson().dump())));
    EXPECT_EQ(back->categories[0].items[0].name.substr(0, 7), "Größe");
    EXPECT_EQ(back->categories[0].items[0].reason, item.reason);
    EXPECT_EQ(back->categories[0].items[1], scan.categories[0].items[1]);
}
