#include "DovraneKit/Appcast.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <unicode/brkiter.h>
#include <unicode/unistr.h>

#include <memory>

using namespace dovrane;

namespace {

std::string feed(std::string_view items) {
    return std::string(R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
<channel><title>Editor</title>
)") + std::string(items) + "</channel></rss>\n";
}

std::vector<AppcastItem> parse(std::string_view items) { return AppcastParser::items(feed(items)); }

AppcastItem releasable(std::string version, std::string url = "https://example.com/a.zip") {
    AppcastItem item;
    item.version = std::move(version);
    item.url = Url::parse(url);
    return item;
}

const OperatingSystemVersion sonoma{14, 0, 0};

std::optional<std::string> bestVersion(const std::vector<AppcastItem>& items, OperatingSystemVersion os = sonoma) {
    auto best = AppcastParser::best(items, os);
    return best ? best->compareVersion() : std::nullopt;
}

std::size_t characterCount(const std::string& text) {
    icu::UnicodeString wide = icu::UnicodeString::fromUTF8(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> iterator(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    iterator->setText(wide);
    std::size_t count = 0;
    for (iterator->first(); iterator->next() != icu::BreakIterator::DONE;)
        ++count;
    return count;
}

} // namespace

// --- reading items ---------------------------------------------------------------------------

TEST(AppcastItems, ReadsEveryFieldOfATypicalItem) {
    auto items = parse(R"(
<item>
  <title>Version 2.4</title>
  <sparkle:channel>stable</sparkle:channel>
  <sparkle:minimumSystemVersion> 13.0 </sparkle:minimumSystemVersion>
  <description><![CDATA[<h2>New</h2><p>Faster &amp; smaller</p>]]></description>
  <sparkle:releaseNotesLink>https://example.com/notes/2.4</sparkle:releaseNotesLink>
  <enclosure url="https://example.com/Editor-2.4.zip" length="48213337" type="application/octet-stream"
             sparkle:version="2400" sparkle:shortVersionString="2.4" sparkle:os="macos"
             sparkle:edSignature="c2lnbmF0dXJl"/>
</item>)");
    ASSERT_EQ(items.size(), 1u);
    const auto& item = items[0];
    EXPECT_EQ(item.title, "Version 2.4");
    EXPECT_EQ(item.channel, "stable");
    EXPECT_EQ(item.minimumSystemVersion, "13.0");
    EXPECT_EQ(item.description, "<h2>New</h2><p>Faster &amp; smaller</p>");
    EXPECT_EQ(item.releaseNotesURL, Url::parse("https://example.com/notes/2.4"));
    EXPECT_EQ(item.url, Url::parse("https://example.com/Editor-2.4.zip"));
    EXPECT_EQ(item.length, 48213337);
    EXPECT_EQ(item.version, "2400");
    EXPECT_EQ(item.shortVersion, "2.4");
    EXPECT_EQ(item.os, "macos");
    EXPECT_EQ(item.edSignature, "c2lnbmF0dXJl");
    EXPECT_FALSE(item.informationalOnly);
    EXPECT_EQ(item.displayVersion(), "2.4");
    EXPECT_EQ(item.compareVersion(), "2400");
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
    auto items = parse(R"(
<item>
  <enclosure url="https://e.com/intel.zip" length="10" sparkle:edSignature="first" sparkle:os="macos"
             sparkle:version="500" sparkle:shortVersionString="5.0"/>
  <enclosure url="https://e.com/arm.zip" length="20" sparkle:edSignature="second" sparkle:os="windows"
             sparkle:version="600" sparkle:shortVersionString="6.0"/>
  <enclosure url="https://e.com/plain.zip"/>
</item>)");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].url, Url::parse("https://e.com/plain.zip"));
    EXPECT_EQ(items[0].length, std::nullopt); // the last enclosure names none
    EXPECT_EQ(items[0].edSignature, std::nullopt);
    EXPECT_EQ(items[0].version, "500");
    EXPECT_EQ(items[0].shortVersion, "5.0");

    auto two = parse(R"(<item>
  <enclosure url="https://e.com/a.zip" length="10" sparkle:edSignature="first" sparkle:version="500"/>
  <enclosure url="https://e.com/b.zip" length="20" sparkle:edSignature="second" sparkle:os="windows"
             sparkle:version="600"/></item>)");
    ASSERT_EQ(two.size(), 1u);
    EXPECT_EQ(two[0].url, Url::parse("https://e.com/b.zip"));
    EXPECT_EQ(two[0].length, 20);
    EXPECT_EQ(two[0].edSignature, "second");
    EXPECT_EQ(two[0].os, "windows");
    EXPECT_EQ(two[0].version, "500");
}

TEST(AppcastItems, DeltaEnclosuresAreIgnored) {
    auto items = parse(R"(
<item><sparkle:version>700</sparkle:version>
  <sparkle:deltas>
    <enclosure url="https://e.com/delta-from-600.delta" sparkle:deltaFrom="600" sparkle:version="700"/>
  </sparkle:deltas>
</item>
<item><sparkle:version>690</sparkle:version>
  <sparkle:deltas><enclosure url="https://e.com/d.delta"/></sparkle:deltas>
  <enclosure url="https://e.com/full-690.zip" length="5"/>
</item>)");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].url, std::nullopt);
    EXPECT_EQ(items[1].url, Url::parse("https://e.com/full-690.zip"));
    EXPECT_EQ(bestVersion(items), "690");
}

TEST(AppcastItems, ReleaseNotesLinkPrefersUnmarkedOrEnglish) {
    auto link = [](std::string_view links) {
        auto items = parse("<item>" + std::string(links) + "</item>");
        return items.at(0).releaseNotesURL ? items[0].releaseNotesURL->text() : std::string("(none)");
    };
    EXPECT_EQ(link(R"(<sparkle:releaseNotesLink xml:lang="de">https://e.com/de</sparkle:releaseNotesLink>
                      <sparkle:releaseNotesLink xml:lang="en">https://e.com/en</sparkle:releaseNotesLink>)"),
              "https://e.com/en");
    EXPECT_EQ(link(R"(<sparkle:releaseNotesLink xml:lang="en">https://e.com/en</sparkle:releaseNotesLink>
                      <sparkle:releaseNotesLink xml:lang="de">https://e.com/de</sparkle:releaseNotesLink>)"),
              "https://e.com/en");
    EXPECT_EQ(link(R"(<sparkle:releaseNotesLink xml:lang="fr">https://e.com/fr</sparkle:releaseNotesLink>)"),
              "https://e.com/fr");
    EXPECT_EQ(link(R"(<sparkle:releaseNotesLink xml:lang="de">https://e.com/de</sparkle:releaseNotesLink>
                      <sparkle:releaseNotesLink xml:lang="en-GB">https://e.com/gb</sparkle:releaseNotesLink>)"),
              "https://e.com/de");
    EXPECT_EQ(link(R"(<sparkle:releaseNotesLink xml:lang="de">https://e.com/de</sparkle:releaseNotesLink>
                      <sparkle:releaseNotesLink>https://e.com/plain</sparkle:releaseNotesLink>)"),
              "https://e.com/plain");
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
<Item><title>ignored: names are case-sensitive</title></Item>)");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].title, "");
    EXPECT_TRUE(items[0].informationalOnly);
    EXPECT_EQ(items[0].length, std::nullopt);
    EXPECT_EQ(items[1].title, "3.0");
    EXPECT_EQ(items[1].length, 7);
    EXPECT_EQ(items[1].displayVersion(), "3.0");
    EXPECT_EQ(items[1].compareVersion(), std::nullopt);
    EXPECT_EQ(AppcastItem{}.displayVersion(), std::nullopt);
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
    std::string laughs = R"(<?xml version="1.0"?>
<!DOCTYPE rss [
 <!ENTITY lol "lol">
 <!ENTITY lol1 "&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;">
 <!ENTITY lol2 "&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;">
 <!ENTITY lol3 "&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;">
 <!ENTITY lol4 "&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;">
 <!ENTITY lol5 "&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;">
 <!ENTITY lol6 "&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;">
 <!ENTITY lol7 "&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;">
 <!ENTITY lol8 "&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;">
 <!ENTITY lol9 "&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;">
]>
<rss><channel><item><title>&lol9;</title><description>&lol9;&lol9;</description></item></channel></rss>)";
    EXPECT_TRUE(AppcastParser::items(laughs).empty());

    // One harmless declaration is enough to stop the read.
    EXPECT_TRUE(AppcastParser::items(R"(<!DOCTYPE rss [<!ENTITY v "2.0">]>
<rss><item><sparkle:version>&v;</sparkle:version></item></rss>)").empty());
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
    auto items = AppcastParser::items(viaExternalSubset);
    for (const auto& item : items) {
        EXPECT_EQ(item.title.value_or("").find("TOP-SECRET"), std::string::npos);
    }
}

TEST(AppcastHostile, DeepNestingIsReadWithoutRecursion) {
    constexpr int depth = 200'000;
    std::string deep = "<rss><channel><item><sparkle:version>9</sparkle:version>";
    deep.reserve(std::size_t(depth) * 8 + 200);
    for (int i = 0; i < depth; ++i)
        deep += "<x>";
    deep += "<title>deep</title>";
    for (int i = 0; i < depth; ++i)
        deep += "</x>";
    deep += "</item></channel></rss>";
    auto items = AppcastParser::items(deep);
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
    justUnder.insert(justUnder.size() - 1, "<!--" + std::string(AppcastParser::maxFeedBytes - justUnder.size() - 7, ' ') + "-->");
    ASSERT_EQ(justUnder.size(), AppcastParser::maxFeedBytes);
    EXPECT_EQ(AppcastParser::items(justUnder).size(), 1u);
}

// --- choosing the update ---------------------------------------------------------------------

TEST(AppcastBest, PicksTheNewestEarliestItem) {
    EXPECT_EQ(bestVersion({releasable("1.2"), releasable("1.10"), releasable("1.9")}), "1.10");
    auto first = releasable("2.0", "https://e.com/first.zip");
    auto second = releasable("2.0.0", "https://e.com/second.zip");
    auto best = AppcastParser::best({first, second}, sonoma);
    ASSERT_TRUE(best);
    EXPECT_EQ(best->url, first.url);
    EXPECT_EQ(AppcastParser::best({}, sonoma), std::nullopt);
}

TEST(AppcastBest, SkipsItemsThatCannotBeInstalled) {
    AppcastItem noUrl = releasable("9");
    noUrl.url.reset();
    AppcastItem informational = releasable("8");
    informational.informationalOnly = true;
    AppcastItem noVersion = releasable("x");
    noVersion.version.reset();
    noVersion.title = "7.0";
    AppcastItem shortOnly = releasable("x");
    shortOnly.version.reset();
    shortOnly.shortVersion = "1.5";
    EXPECT_EQ(bestVersion({noUrl, informational, noVersion, releasable("1.0"), shortOnly}), "1.5");
    EXPECT_EQ(bestVersion({noUrl, informational, noVersion}), std::nullopt);
}

TEST(AppcastBest, KeepsOnlyThisSystemAndReleaseChannels) {
    auto with = [](std::string version, auto change) {
        AppcastItem item = releasable(std::move(version));
        change(item);
        return item;
    };
    std::vector<AppcastItem> items = {
        releasable("1.0"),
        with("2.0", [](AppcastItem& i) { i.channel = "Stable"; }),
        with("3.0", [](AppcastItem& i) { i.channel = "PRODUCTION"; }),
        with("3.5", [](AppcastItem& i) { i.channel = "release"; }),
        with("4.0", [](AppcastItem& i) { i.channel = "Beta"; }),
        with("5.0", [](AppcastItem& i) { i.channel = "nightly"; }),
        with("6.0", [](AppcastItem& i) { i.os = "windows"; }),
    };
    EXPECT_EQ(bestVersion(items), "3.5");
    items.push_back(with("3.6", [](AppcastItem& i) { i.os = "macOS"; }));
    EXPECT_EQ(bestVersion(items), "3.6");
}

TEST(AppcastBest, RespectsTheMinimumSystemVersion) {
    auto needing = [](std::string version, std::string minimum) {
        AppcastItem item = releasable(std::move(version));
        item.minimumSystemVersion = std::move(minimum);
        return item;
    };
    EXPECT_EQ(bestVersion({releasable("1"), needing("2", "14.0")}, {14, 0, 0}), "2");
    EXPECT_EQ(bestVersion({releasable("1"), needing("2", "14.1")}, {14, 0, 0}), "1");
    EXPECT_EQ(bestVersion({releasable("1"), needing("2", "14")}, {13, 6, 1}), "1");
    EXPECT_EQ(bestVersion({releasable("1"), needing("2", "13.6.2")}, {13, 10, 0}), "2");
}

TEST(AppcastBest, NeverPicksAnInformationalUpdate) {
    auto items = parse(R"(
<item><enclosure url="https://e.com/5.zip" sparkle:version="5"/></item>
<item><sparkle:informationalUpdate><sparkle:belowVersion>6</sparkle:belowVersion></sparkle:informationalUpdate>
      <enclosure url="https://e.com/9.zip" sparkle:version="9"/></item>)");
    EXPECT_EQ(bestVersion(items), "5");
}

// --- release notes ---------------------------------------------------------------------------

TEST(ReleaseNotesText, TurnsParagraphsAndListsIntoLines) {
    EXPECT_EQ(ReleaseNotes::plain("<p>New&nbsp;icons</p><ul><li>One</li><li>Two</li></ul>"),
              "New icons\n\u2022 One\n\u2022 Two");
    EXPECT_EQ(ReleaseNotes::plain("<H2>Fixes</H2>\n\n\n<DIV>a<BR/>b< br >c</div>"), "Fixes\n\na\nb\nc");
    EXPECT_EQ(ReleaseNotes::plain("<LI class=\"x\">Faster"), "\u2022 Faster");
}

TEST(ReleaseNotesText, LinksAndLookalikeTagsAreNoListItems) {
    EXPECT_EQ(ReleaseNotes::plain("<link rel=\"stylesheet\" href=\"s.css\"><p>Hello</p>"), "Hello");
    EXPECT_EQ(ReleaseNotes::plain("<lines>one</lines>"), "one");
}

TEST(ReleaseNotesText, DropsCommentsScriptsAndStyles) {
    EXPECT_EQ(ReleaseNotes::plain("A<!-- hidden\nacross lines -->B<script type=\"x\">alert('<p>')</script>C"
                                  "<STYLE>p { color: red }</Style>D"),
              "ABCD");
    // A block is closed only by its own end tag; the first opening tag that closes wins.
    EXPECT_EQ(ReleaseNotes::plain("<script>x</style>y</script>z"), "z");
    EXPECT_EQ(ReleaseNotes::plain("<style>a<script>b</style>c</script>d"), "cd");
    EXPECT_EQ(ReleaseNotes::plain("<script>a<style>b</script>c</style>d"), "cd");
    EXPECT_EQ(ReleaseNotes::plain("<script>never closed<style>s</style>tail"), "never closedtail");
}

TEST(ReleaseNotesText, UnclosedBlocksInLongNotesLoseOnlyTheirTags) {
    std::string unclosed;
    for (int i = 0; i < 40'000; ++i)
        unclosed += "<script>a<style>b<!--";
    EXPECT_EQ(ReleaseNotes::plain(unclosed + "</style>end"), "aend");

    auto text = ReleaseNotes::plain(unclosed);
    ASSERT_TRUE(text);
    std::string expected;
    for (int i = 0; i < 2000; ++i)
        expected += "ab";
    EXPECT_EQ(*text, expected);
}

TEST(ReleaseNotesText, DecodesTheCommonEntitiesOnce) {
    EXPECT_EQ(ReleaseNotes::plain("a &lt;b&gt; &quot;c&quot; &#39;d&apos; &amp;lt; &copy; &#169;"),
              "a <b> \"c\" 'd' &lt; &copy; &#169;");
}

TEST(ReleaseNotesText, TrimsLinesAndCollapsesBlankOnes) {
    EXPECT_EQ(ReleaseNotes::plain("\n\n \t\u00A0First\u2003 \n \n\t\n\nSecond\n\n"), "First\n\nSecond");
}

TEST(ReleaseNotesText, NothingLeftIsAbsent) {
    EXPECT_EQ(ReleaseNotes::plain(std::nullopt), std::nullopt);
    EXPECT_EQ(ReleaseNotes::plain(""), std::nullopt);
    EXPECT_EQ(ReleaseNotes::plain("<p> </p><!-- x --><br/>\n\t&nbsp;"), std::nullopt);
}

TEST(ReleaseNotesText, CutsAfterFourThousandCharacters) {
    std::string umlauts;
    for (int i = 0; i < 5000; ++i)
        umlauts += "\u00E4";
    auto cut = ReleaseNotes::plain(umlauts);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->size(), 8000u);

    // Characters made of several code points are never split.
    std::string clusters;
    for (int i = 0; i < 2500; ++i)
        clusters += "e\u0301\U0001F1E9\U0001F1EA";
    auto flags = ReleaseNotes::plain("<p>" + clusters + "</p>");
    ASSERT_TRUE(flags);
    EXPECT_EQ(characterCount(*flags), 4000u);
    EXPECT_EQ(*flags, clusters.substr(0, flags->size()));
    EXPECT_EQ(flags->substr(flags->size() - 8), "\U0001F1E9\U0001F1EA");

    std::string exact(4000, 'x');
    EXPECT_EQ(ReleaseNotes::plain(exact), exact);
}

TEST(ReleaseNotesText, SurvivesInvalidUtf8) {
    auto text = ReleaseNotes::plain(std::string("<b>caf\xC3</b> ok"));
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "caf\uFFFD ok");
}
