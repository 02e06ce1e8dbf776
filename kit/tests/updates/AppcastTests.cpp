#include "DovraneKit/updates/Appcast.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace dovrane;

namespace {

std::string feed(std::string_view items) {
    return std::string(R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
<channel><title>Editor</title>
)") + std::string(items) +
           "</channel></rss>\n";
}

std::vector<AppcastItem> parse(std::string_view items) { return AppcastParser::items(feed(items)); }

AppcastItem releasable(std::string version, std::string url = "https://example.com/a.zip") {
    AppcastItem item;
    item.version = std::move(version);
    item.url = Url::parse(url);
    return item;
}

std::string repeated(std::string_view unit, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += unit;
    return text;
}

const OperatingSystemVersion sonoma{14, 0, 0};

std::optional<std::string> bestVersion(const std::vector<AppcastItem>& items, OperatingSystemVersion os = sonoma) {
    auto best = AppcastParser::best(items, os);
    return best ? best->compareVersion() : std::nullopt;
}

} // namespace

// --- reading items ---------------------------------------------------------------------------

TEST(AppcastItems, ReadsEveryFieldOfATypicalItem) {
    auto items = parse(R"(<item>
  <title>Version 2.4</title> <sparkle:channel>stable</sparkle:channel>
  <sparkle:minimumSystemVersion> 13.0 </sparkle:minimumSystemVersion>
  <description><![CDATA[<h2>New</h2><p>Faster &amp; smaller</p>]]></description>
  <sparkle:releaseNotesLink>https://example.com/notes/2.4</sparkle:releaseNotesLink>
  <enclosure url="https://example.com/Editor-2.4.zip" length="48213337" type="application/octet-stream"
             sparkle:version="2400" sparkle:shortVersionString="2.4" sparkle:os="macos" sparkle:edSignature="c2ln"/>
</item>)");
    AppcastItem expected{.title = "Version 2.4",
                         .version = "2400",
                         .shortVersion = "2.4",
                         .minimumSystemVersion = "13.0",
                         .channel = "stable",
                         .description = "<h2>New</h2><p>Faster &amp; smaller</p>",
                         .releaseNotesURL = Url::parse("https://example.com/notes/2.4"),
                         .url = Url::parse("https://example.com/Editor-2.4.zip"),
                         .length = 48213337,
                         .edSignature = "c2ln",
                         .informationalOnly = false,
                         .os = "macos"};
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0], expected);
    EXPECT_EQ(items[0].displayVersion(), "2.4");
    EXPECT_EQ(items[0].compareVersion(), "2400");
}

TEST(AppcastItems, VersionElementsOverrideEnclosureAttributesInAnyOrder) {
    auto items = parse(R"(
<item><enclosure url="https://e.com/1.zip" sparkle:version="100" sparkle:shortVersionString="1.0"/></item>
<item><sparkle:version>201</sparkle:version>
      <enclosure url="https://e.com/2.zip" sparkle:version="200" sparkle:shortVersionString="2.0"/></item>
<item><enclosure url="https://e.com/3.zip" sparkle:version="300"/>
      <sparkle:version>301</sparkle:version><sparkle:shortVersionString>3.0.1</sparkle:shortVersionString>
      <sparkle:version>  </sparkle:version></item>)");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].version, "100");
    EXPECT_EQ(items[0].shortVersion, "1.0");
    EXPECT_EQ(items[1].version, "201");
    EXPECT_EQ(items[1].shortVersion, "2.0");
    EXPECT_EQ(items[2].version, "301"); // an empty element leaves the field as it was
    EXPECT_EQ(items[2].shortVersion, "3.0.1");
}

TEST(AppcastItems, TheLastEnclosureWinsButNotItsVersions) {
    auto items = parse(R"(<item>
  <enclosure url="https://e.com/a.zip" length="10" sparkle:edSignature="first" sparkle:version="500"/>
  <enclosure url="https://e.com/b.zip" length="20" sparkle:edSignature="second" sparkle:os="windows"
             sparkle:version="600" sparkle:shortVersionString="6.0"/>
</item><item><enclosure url="https://e.com/c.zip" length="30" sparkle:os="macos"/><enclosure url="https://e.com/d.zip"/></item>)");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].url, Url::parse("https://e.com/b.zip"));
    EXPECT_EQ(items[0].length, 20);
    EXPECT_EQ(items[0].edSignature, "second");
    EXPECT_EQ(items[0].os, "windows");
    EXPECT_EQ(items[0].version, "500");
    EXPECT_EQ(items[0].shortVersion, "6.0"); // the first enclosure named none
    EXPECT_EQ(items[1].length, std::nullopt);
    EXPECT_EQ(items[1].os, std::nullopt);
}

TEST(AppcastItems, DeltaEnclosuresAreIgnored) {
    auto items = parse(R"(
<item><sparkle:version>700</sparkle:version>
  <sparkle:deltas><enclosure url="https://e.com/from-600.delta" sparkle:version="700"/></sparkle:deltas></item>
<item><sparkle:version>690</sparkle:version>
  <sparkle:deltas><enclosure url="https://e.com/d.delta"/></sparkle:deltas><enclosure url="https://e.com/690.zip"/></item>)");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].url, std::nullopt);
    EXPECT_EQ(items[1].url, Url::parse("https://e.com/690.zip"));
    EXPECT_EQ(bestVersion(items), "690");
}

TEST(AppcastItems, ReleaseNotesLinkPrefersUnmarkedOrEnglish) {
    auto link = [](std::vector<const char*> languages) {
        std::string item = "<item>";
        for (const char* language : languages)
            item += std::string("<sparkle:releaseNotesLink") +
                    (*language ? " xml:lang=\"" + std::string(language) + "\"" : "") + ">https://e.com/" +
                    (*language ? language : "plain") + "</sparkle:releaseNotesLink>";
        auto items = parse(item + "</item>");
        return items.at(0).releaseNotesURL.value_or(Url()).text();
    };
    EXPECT_EQ(link({"de", "en"}), "https://e.com/en");
    EXPECT_EQ(link({"en", "de"}), "https://e.com/en");
    EXPECT_EQ(link({"fr"}), "https://e.com/fr");
    EXPECT_EQ(link({"de", "en-GB"}), "https://e.com/de");
    EXPECT_EQ(link({"de", ""}), "https://e.com/plain");
}

TEST(AppcastItems, OnlyWebAddressesAreUsed) {
    auto items = parse(R"(
<item><enclosure url="file:///Applications/Editor.app" length="1"/>
      <sparkle:releaseNotesLink>javascript:alert(1)</sparkle:releaseNotesLink></item>
<item><enclosure url="ftp://e.com/a.zip"/>
      <sparkle:releaseNotesLink>file:///etc/passwd</sparkle:releaseNotesLink></item>
<item><enclosure url="Editor-2.zip"/><sparkle:releaseNotesLink>notes.html</sparkle:releaseNotesLink></item>
<item><enclosure url="https://e.com/has space.zip"/></item>
<item><enclosure url="HTTP://E.COM/A.ZIP"/><sparkle:releaseNotesLink>http://e.com/n</sparkle:releaseNotesLink></item>)");
    ASSERT_EQ(items.size(), 5u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(items[i].url, std::nullopt) << i;
        EXPECT_EQ(items[i].releaseNotesURL, std::nullopt) << i;
    }
    EXPECT_EQ(items[4].url, Url::parse("HTTP://E.COM/A.ZIP"));
    EXPECT_EQ(items[4].releaseNotesURL, Url::parse("http://e.com/n"));
}

TEST(AppcastItems, ReadsFlagsTitlesAndLengthsLiterally) {
    auto items = parse(R"(
<item><title></title><sparkle:informationalUpdate/><enclosure url="https://e.com/a" length="12kB"/></item>
<item><title> 3.0 </title><enclosure url="https://e.com/b" length="+7"/></item>
<Item><title>names are case-sensitive</title></Item>)");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].title, "");
    EXPECT_TRUE(items[0].informationalOnly);
    EXPECT_EQ(items[0].length, std::nullopt);
    EXPECT_EQ(items[1].length, 7);
    EXPECT_EQ(items[1].displayVersion(), "3.0");
    EXPECT_EQ(items[1].compareVersion(), std::nullopt);
}

TEST(AppcastItems, MalformedFeedsKeepTheItemsFinishedBeforeTheError) {
    auto items = parse(R"(
<item><sparkle:version>1</sparkle:version></item>
<item><sparkle:version>2</sparkle:version></item>
<item><sparkle:version>3</sparkle:version><title>broken</titel></item>)");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].version, "2");

    EXPECT_EQ(AppcastParser::items(feed("<item><title>Fish &chips;</title></item>")).size(), 0u);
    EXPECT_TRUE(AppcastParser::items("").empty());
    EXPECT_TRUE(AppcastParser::items("not xml at all").empty());
    EXPECT_TRUE(AppcastParser::items(std::string("<rss><item>\xff\xfe</item></rss>")).empty());
    EXPECT_EQ(AppcastParser::items("<rss><item/><item/>").size(), 2u);
}

// --- hostile documents -----------------------------------------------------------------------

TEST(AppcastHostile, EntityExpansionIsRefused) {
    std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE rss [\n<!ENTITY lol0 \"lol\">\n";
    for (int level = 1; level < 10; ++level)
        laughs += "<!ENTITY lol" + std::to_string(level) + " \"" +
                  repeated("&lol" + std::to_string(level - 1) + ";", 10) + "\">\n";
    laughs += "]>\n<rss><channel><item><title>&lol9;</title><description>&lol9;</description></item></channel></rss>";
    EXPECT_TRUE(AppcastParser::items(laughs).empty());

    // One harmless declaration is enough to stop the read.
    EXPECT_TRUE(AppcastParser::items(R"(<!DOCTYPE rss [<!ENTITY v "2.0">]>
<rss><item><sparkle:version>&v;</sparkle:version></item></rss>)")
                    .empty());
}

TEST(AppcastHostile, ExternalEntitiesAreNeverLoaded) {
    dovrane::testing::TempDir dir;
    dovrane::testing::writeFile(dir / "secret.txt", "TOP-SECRET");
    dovrane::testing::writeFile(dir / "evil.dtd", "<!ENTITY secret SYSTEM \"file://" + dir / "secret.txt" + "\">");

    std::string declared = "<!DOCTYPE rss [<!ENTITY secret SYSTEM \"file://" + dir / "secret.txt" +
                           "\">]>\n<rss><item><title>&secret;</title></item></rss>";
    EXPECT_TRUE(AppcastParser::items(declared).empty());

    std::string viaExternalSubset = "<!DOCTYPE rss SYSTEM \"file://" + dir / "evil.dtd" +
                                    "\">\n<rss><item><title>[&secret;]</title><sparkle:version>4</sparkle:version>"
                                    "</item></rss>";
    // The subset is not read, so the reference is skipped and the rest of the feed still counts.
    auto items = AppcastParser::items(viaExternalSubset);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].title, "[]");
}

TEST(AppcastHostile, DeepNestingIsReadWithoutRecursion) {
    auto items = AppcastParser::items("<rss><item><sparkle:version>9</sparkle:version>" + repeated("<x>", 200'000) +
                                      "<title>deep</title>" + repeated("</x>", 200'000) + "</item></rss>");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].title, "deep");
    EXPECT_EQ(items[0].version, "9");
}

TEST(AppcastHostile, OversizedFeedsAreNotRead) {
    std::string item = "<item><sparkle:version>1</sparkle:version></item>";
    std::string big = feed(item);
    big.insert(big.size() - 1, "<!--" + std::string(AppcastParser::maxFeedBytes, ' ') + "-->");
    EXPECT_TRUE(AppcastParser::items(big).empty());

    std::string justUnder = feed(item);
    justUnder.insert(justUnder.size() - 1,
                     "<!--" + std::string(AppcastParser::maxFeedBytes - justUnder.size() - 7, ' ') + "-->");
    ASSERT_EQ(justUnder.size(), AppcastParser::maxFeedBytes);
    EXPECT_EQ(AppcastParser::items(justUnder).size(), 1u);
}

// --- choosing the update ---------------------------------------------------------------------

TEST(AppcastBest, PicksTheNewestUsableItemEarliestFirst) {
    EXPECT_EQ(bestVersion({releasable("1.2"), releasable("1.10"), releasable("1.9")}), "1.10");
    auto first = releasable("2.0", "https://e.com/first.zip");
    auto best = AppcastParser::best({first, releasable("2.0.0", "https://e.com/second.zip")}, sonoma);
    ASSERT_TRUE(best);
    EXPECT_EQ(best->url, first.url);

    AppcastItem noUrl = releasable("9");
    noUrl.url.reset();
    AppcastItem informational = releasable("8");
    informational.informationalOnly = true;
    AppcastItem titleOnly = releasable("x");
    titleOnly.version.reset();
    titleOnly.title = "7.0";
    AppcastItem shortOnly = titleOnly;
    shortOnly.shortVersion = "1.5";
    EXPECT_EQ(bestVersion({noUrl, informational, titleOnly, releasable("1.0"), shortOnly}), "1.5");
    EXPECT_EQ(bestVersion({noUrl, informational, titleOnly}), std::nullopt);
}

TEST(AppcastBest, KeepsOnlyThisSystemAndReleaseChannels) {
    auto item = [](std::string version, std::optional<std::string> channel, std::optional<std::string> os = {}) {
        AppcastItem made = releasable(std::move(version));
        made.channel = std::move(channel);
        made.os = std::move(os);
        return made;
    };
    std::vector<AppcastItem> items = {item("1.0", {}),           item("2.0", "Stable"), item("3.0", "PRODUCTION"),
                                      item("3.5", "release"),    item("4.0", "Beta"),   item("5.0", "nightly"),
                                      item("6.0", {}, "windows")};
    EXPECT_EQ(bestVersion(items), "3.5");
    items.push_back(item("3.6", {}, "macOS"));
    EXPECT_EQ(bestVersion(items), "3.6");
}

TEST(AppcastBest, RespectsTheMinimumSystemVersion) {
    auto needing = [](std::string minimum) {
        AppcastItem item = releasable("2");
        item.minimumSystemVersion = std::move(minimum);
        return item;
    };
    EXPECT_EQ(bestVersion({releasable("1"), needing("14.0")}, {14, 0, 0}), "2");
    EXPECT_EQ(bestVersion({releasable("1"), needing("14.1")}, {14, 0, 0}), "1");
    EXPECT_EQ(bestVersion({releasable("1"), needing("14")}, {13, 6, 1}), "1");
    EXPECT_EQ(bestVersion({releasable("1"), needing("13.6.2")}, {13, 10, 0}), "2");
}
