#include "DovraneKit/formats/Plist.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/stat.h>

#include <cmath>
#include <limits>
#include <random>

using namespace dovrane;
using dovrane::testing::SocketFile;
using dovrane::testing::TempDir;
namespace fixture = dovrane::testing;

namespace {

PlistValue sampleValue() {
    PlistDict nested{{"flag", PlistValue(false)}, {"list", PlistValue(PlistArray{PlistValue(1), PlistValue("two")})}};
    return PlistValue(PlistDict{
        {"CFBundleIdentifier", PlistValue("com.example.App")},
        {"Name", PlistValue("Grüße <&> \"quoted\"")},
        {"Count", PlistValue(std::int64_t(1) << 40)},
        {"Negative", PlistValue(-5)},
        {"Ratio", PlistValue(2.5)},
        {"Enabled", PlistValue(true)},
        {"Released", PlistValue(Date{700'000'000})},
        {"Blob", PlistValue(PlistData{std::string("\0\x01\xff", 3)})},
        {"Nested", PlistValue(nested)},
        {"Empty", PlistValue(PlistArray{})},
    });
}

std::string toBinary(const std::string& xml) {
    plist_t root = nullptr;
    plist_from_xml(xml.data(), uint32_t(xml.size()), &root);
    char* raw = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &raw, &length);
    std::string binary(raw, length);
    plist_to_bin_free(raw);
    plist_free(root);
    return binary;
}

std::string nestedXml(int depth, const std::string& between = "") {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
    for (int i = 0; i < depth; ++i)
        xml += "<array>" + between;
    xml += "<true/>";
    for (int i = 0; i < depth; ++i)
        xml += "</array>";
    return xml + "</plist>";
}

void appendBigEndian(std::string& out, std::uint64_t value, int width) {
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(char((value >> shift) & 0xff));
}

// A binary property list made by hand, so that it can hold what no writer produces.
// References and offsets are four bytes wide.
std::string binaryPlist(const std::vector<std::string>& objects, std::uint64_t top = 0) {
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const auto& object : objects) {
        offsets.push_back(out.size());
        out += object;
    }
    std::uint64_t table = out.size();
    for (auto offset : offsets)
        appendBigEndian(out, offset, 4);
    out += std::string(6, '\0');
    out += char(4);
    out += char(4);
    appendBigEndian(out, objects.size(), 8);
    appendBigEndian(out, top, 8);
    appendBigEndian(out, table, 8);
    return out;
}

std::string arrayOf(std::initializer_list<std::uint32_t> refs) {
    std::string object(1, char(0xA0 | refs.size()));
    for (auto ref : refs)
        appendBigEndian(object, ref, 4);
    return object;
}

const std::string trueObject = "\x09";

// Array i holds array i+1 (twice when shared); the last object is true.
std::string chainOfArrays(std::uint32_t count, bool shared) {
    std::vector<std::string> objects;
    for (std::uint32_t i = 0; i + 1 < count; ++i)
        objects.push_back(shared ? arrayOf({i + 1, i + 1}) : arrayOf({i + 1}));
    objects.push_back(trueObject);
    return binaryPlist(objects);
}

} // namespace

TEST(PropertyLists, XmlAndBinaryRoundTrips) {
    auto value = sampleValue();
    auto xml = Plist::toXml(value);
    auto fromXml = Plist::parse(xml);
    ASSERT_TRUE(fromXml);
    EXPECT_EQ(*fromXml, value);

    auto binary = toBinary(xml);
    ASSERT_EQ(binary.rfind("bplist00", 0), 0u);
    auto fromBinary = Plist::parse(binary);
    ASSERT_TRUE(fromBinary);
    EXPECT_EQ(*fromBinary, value);

    const auto& dict = *fromBinary->dict();
    EXPECT_EQ(Plist::string(dict, "CFBundleIdentifier"), "com.example.App");
    EXPECT_FALSE(Plist::string(dict, "Count"));
    EXPECT_FALSE(Plist::string(dict, "Missing"));
    EXPECT_EQ(dict.at("Count").integer(), std::int64_t(1) << 40);
    EXPECT_FALSE(dict.at("Name").integer());
    EXPECT_EQ(dict.at("Enabled").boolean(), true);
    EXPECT_EQ(dict.at("Released").date(), Date{700'000'000});
}

TEST(PropertyLists, ReadingFilesAndTheSizeLimit) {
    TempDir dir;
    fixture::writeFile(dir / "Info.plist", Plist::toXml(sampleValue()));
    fixture::writeFile(dir / "list.plist", Plist::toXml(PlistValue(PlistArray{PlistValue(1)})));
    auto dict = Plist::readDictionary(dir / "Info.plist");
    ASSERT_TRUE(dict);
    EXPECT_EQ(Plist::string(*dict, "CFBundleIdentifier"), "com.example.App");
    EXPECT_TRUE(Plist::readFile(dir / "list.plist"));
    EXPECT_FALSE(Plist::readDictionary(dir / "list.plist"));
    EXPECT_FALSE(Plist::readDictionary(dir / "none.plist"));

    // Over the limit: refused whatever it holds, on disk and in memory.
    std::string padded = Plist::toXml(sampleValue());
    padded.insert(padded.find("<plist"), Plist::maximumFileSize + 1 - padded.size(), ' ');
    ASSERT_EQ(padded.size(), Plist::maximumFileSize + 1);
    fixture::writeFile(dir / "huge.plist", padded);
    EXPECT_FALSE(Plist::readFile(dir / "huge.plist"));
    EXPECT_FALSE(Plist::parse(padded));
    padded.erase(padded.find("  "), 1);
    EXPECT_TRUE(Plist::parse(padded));
}

TEST(PropertyLists, DamagedDocumentsAreRefused) {
    auto xml = Plist::toXml(sampleValue());
    auto binary = toBinary(xml);
    EXPECT_FALSE(Plist::parse(""));
    EXPECT_FALSE(Plist::parse(xml.substr(0, xml.size() / 2)));
    EXPECT_FALSE(Plist::parse(binary.substr(0, binary.size() - 1)));
    EXPECT_FALSE(Plist::parse(binary.substr(0, binary.size() / 2)));
    EXPECT_FALSE(Plist::parse("bplist00"));

    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        std::string noise(200, '\0');
        for (auto& c : noise)
            c = char(random());
        EXPECT_FALSE(Plist::parse(noise));
        EXPECT_FALSE(Plist::parse("bplist00" + noise));
        // Random damage to a real binary list may still read, but must never crash.
        std::string damaged = binary;
        for (int i = 0; i < 4; ++i)
            damaged[random() % damaged.size()] = char(random());
        (void)Plist::parse(damaged);
    }
}

TEST(PropertyLists, XmlNestingIsLimitedWithoutExhaustingTheStack) {
    auto within = Plist::parse(nestedXml(Plist::maximumDepth));
    ASSERT_TRUE(within);
    EXPECT_FALSE(Plist::parse(nestedXml(Plist::maximumDepth + 1)));
    EXPECT_FALSE(Plist::parse(nestedXml(300'000)));

    // Deep documents that stop halfway, or hide their closing tags in comments.
    std::string unclosed = nestedXml(400'000);
    EXPECT_FALSE(Plist::parse(unclosed.substr(0, unclosed.find("<true/>"))));
    std::string hidden = "<plist>";
    for (int i = 0; i < 2000; ++i)
        hidden += "<array><array><array><!-- </array></array></array> -->";
    EXPECT_FALSE(Plist::parse(hidden + "<true/></plist>"));

    // Constructs that libplist reads otherwise than XML does.
    EXPECT_FALSE(Plist::parse("<plist><?pi x?><array/></plist>"));
    EXPECT_FALSE(Plist::parse("<plist><string><![CDATA[x]]></string></plist>"));
    EXPECT_FALSE(Plist::parse("<!DOCTYPE plist [<!ENTITY a \"b\">]><plist><string>&a;</string></plist>"));
    EXPECT_TRUE(Plist::parse("<plist><!-- a comment --><string>x</string></plist>"));
}

TEST(PropertyLists, BinaryGraphsAreLimitedBeforeLibplistFollowsThem) {
    auto pair = Plist::parse(binaryPlist({arrayOf({1, 1}), trueObject}));
    ASSERT_TRUE(pair);
    EXPECT_EQ(*pair, PlistValue(PlistArray{PlistValue(true), PlistValue(true)}));

    EXPECT_TRUE(Plist::parse(chainOfArrays(Plist::maximumDepth + 1, false)));
    EXPECT_FALSE(Plist::parse(chainOfArrays(Plist::maximumDepth + 2, false)));
    EXPECT_FALSE(Plist::parse(chainOfArrays(200'000, false)));
    // Sixty levels that each refer twice to the next would unfold into 2^60 values.
    EXPECT_FALSE(Plist::parse(chainOfArrays(60, true)));
    EXPECT_FALSE(Plist::parse(binaryPlist({arrayOf({0})})));               // refers to itself
    EXPECT_FALSE(Plist::parse(binaryPlist({arrayOf({1}), arrayOf({0})}))); // a cycle of two
    EXPECT_FALSE(Plist::parse(binaryPlist({arrayOf({5}), trueObject})));   // refers outside the table
    EXPECT_FALSE(Plist::parse(binaryPlist({trueObject}, 1)));              // top outside the table
}

TEST(PropertyLists, TextHoldingNulIsMalformedAndNeverAborts) {
    auto ascii = [](std::string_view text) { return char(0x50 | text.size()) + std::string(text); };
    auto utf16 = [](std::u16string_view text) {
        std::string object(1, char(0x60 | text.size()));
        for (char16_t unit : text)
            appendBigEndian(object, unit, 2);
        return object;
    };
    auto dictOf = [](const std::string& key, const std::string& value) {
        std::string dict(1, char(0xD1));
        appendBigEndian(dict, 1, 4);
        appendBigEndian(dict, 2, 4);
        return binaryPlist({dict, key, value});
    };
    auto plain = Plist::parse(dictOf(utf16(u"k\u00e9y"), ascii("value")));
    ASSERT_TRUE(plain);
    EXPECT_EQ(*plain, PlistValue(PlistDict{{"k\xc3\xa9y", PlistValue("value")}}));

    EXPECT_FALSE(Plist::parse(dictOf(ascii("key"), ascii(std::string("val\0ue", 6)))));
    EXPECT_FALSE(Plist::parse(dictOf(ascii(std::string("ke\0y", 4)), ascii("value"))));
    EXPECT_FALSE(Plist::parse(dictOf(utf16(std::u16string_view(u"k\0y", 3)), ascii("value"))));
    EXPECT_FALSE(Plist::parse(dictOf(ascii("key"), utf16(std::u16string_view(u"\0", 1)))));
    EXPECT_FALSE(Plist::parse(binaryPlist({ascii(std::string("\0", 1))})));
    // XML cannot carry the character at all.
    EXPECT_FALSE(Plist::parse("<plist><string>a&#0;b</string></plist>"));
    EXPECT_FALSE(Plist::parse(std::string("<plist><string>a\0b</string></plist>", 34)));
}

TEST(PropertyLists, XmlIsReadLikeOtherWritersLayItOut) {
    auto value = Plist::parse(R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>Text</key>
	<string>Tom &amp; Jerry &lt;3 &#233;</string>
	<key>Empty</key>
	<string/>
	<key>Count</key>
	<integer> -42 </integer>
	<key>Hex</key>
	<integer>0x1F</integer>
	<key>Ratio</key>
	<real>2.5e3</real>
	<key>When</key>
	<date>2001-01-02T00:00:01Z</date>
	<key>Epoch</key>
	<date>1970-01-01T00:00:00Z</date>
	<key>Blob</key>
	<data>
	AAH/
	</data>
	<key>List</key>
	<array><true/><false/></array>
	<key>Count</key>
	<integer>9223372036854775808</integer>
</dict>
</plist>)");
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, PlistValue(PlistDict{
                          {"Text", PlistValue("Tom & Jerry <3 \xc3\xa9")},
                          {"Empty", PlistValue("")},
                          {"Count", PlistValue(std::numeric_limits<std::int64_t>::min())}, // the later one wins
                          {"Hex", PlistValue(31)},
                          {"Ratio", PlistValue(2500.0)},
                          {"When", PlistValue(Date{86401})},
                          {"Epoch", PlistValue(Date::fromUnix(0))},
                          {"Blob", PlistValue(PlistData{std::string("\0\x01\xff", 3)})},
                          {"List", PlistValue(PlistArray{PlistValue(true), PlistValue(false)})},
                      }));

    // Dates before the first year of the calendar's 400-year cycle count back correctly too.
    auto early = Plist::parse("<plist><date>0000-02-29T00:00:00Z</date></plist>");
    ASSERT_TRUE(early);
    EXPECT_EQ(*early, PlistValue(Date::fromUnix(-719469.0 * 86400)));

    for (const char* malformed : {"<plist></plist>",
                                  "<plist><true/><false/></plist>",
                                  "<plist>text<true/></plist>",
                                  "<plist><unknown/></plist>",
                                  "<plist><string>a<b/></string></plist>",
                                  "<plist><plist/></plist>",
                                  "<plist><dict><key>a</key></dict></plist>",
                                  "<plist><dict><string>x</string></dict></plist>",
                                  "<plist><dict><key>a</key><key>b</key><true/></dict></plist>",
                                  "<plist><array><key>a</key></array></plist>",
                                  "<plist><integer>12x</integer></plist>",
                                  "<plist><integer></integer></plist>",
                                  "<plist><integer>99999999999999999999</integer></plist>",
                                  "<plist><integer>-9223372036854775809</integer></plist>",
                                  "<plist><real>1,5</real></plist>",
                                  "<plist><date>2024-13-01T00:00:00Z</date></plist>",
                                  "<plist><date>2024-01-01 00:00:00</date></plist>",
                                  "<plist><data>@@@@</data></plist>",
                                  "<plist><data>AAH</data></plist>",
                                  "<plist><true>x</true></plist>",
                                  "<!DOCTYPE plist SYSTEM \"x.dtd\"><plist><string>&undeclared;</string></plist>"})
        EXPECT_FALSE(Plist::parse(malformed)) << malformed;
}

TEST(PropertyLists, EntitiesCostNoMoreThanOtherCharacters) {
    // The largest document the cap allows, made of nothing but entities, reads whole.
    std::string xml = "<plist><string>";
    std::size_t count = 0;
    for (; xml.size() + 5 + 17 <= Plist::maximumFileSize; ++count)
        xml += "&amp;";
    xml += "</string></plist>";
    auto value = Plist::parse(xml);
    ASSERT_TRUE(value);
    ASSERT_TRUE(value->string());
    EXPECT_EQ(*value->string(), std::string(count, '&'));
}

TEST(PropertyLists, DatesBeyondThirtyTwoBitSecondsAreNotWritten) {
    EXPECT_EQ(Plist::toXml(PlistValue(Date::distantPast())), "");
    EXPECT_EQ(Plist::toXml(PlistValue(Date{3e9})), "");
    EXPECT_EQ(Plist::toXml(PlistValue(Date{std::nan("")})), "");
    EXPECT_EQ(Plist::toXml(PlistValue(PlistDict{{"a", PlistValue(PlistArray{PlistValue(Date{-1e10})})}})), "");
    for (double edge : {2147483647.0, -2147483648.0}) {
        auto back = Plist::parse(Plist::toXml(PlistValue(Date{edge})));
        ASSERT_TRUE(back) << edge;
        EXPECT_EQ(*back, PlistValue(Date{edge}));
    }
}

// Reading would block for ever on open() or read() if a pipe were opened as a file.
TEST(PropertyLists, PipesAndSocketsWhereAFileIsExpectedAreRefusedAtOnce) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    SocketFile socketFile(dir / "socket");
    ASSERT_TRUE(socketFile.bound());
    for (const char* name : {"pipe", "socket"})
        EXPECT_FALSE(Plist::readFile(dir / name)) << name;
}
