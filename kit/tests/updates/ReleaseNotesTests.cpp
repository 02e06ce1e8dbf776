#include "DovraneKit/updates/ReleaseNotes.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using namespace dovrane;

namespace {

std::string repeated(std::string_view unit, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += unit;
    return text;
}

} // namespace

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
    std::string unclosed = repeated("<script>a<style>b<!--", 40'000);
    EXPECT_EQ(ReleaseNotes::plain(unclosed + "</style>end"), "aend");
    EXPECT_EQ(ReleaseNotes::plain(unclosed), repeated("ab", 2000));
}

TEST(ReleaseNotesText, DecodesTheCommonEntitiesOnceAndTidiesLines) {
    EXPECT_EQ(ReleaseNotes::plain("a &lt;b&gt; &quot;c&quot; &#39;d&apos; &amp;lt; &copy; &#169;"),
              "a <b> \"c\" 'd' &lt; &copy; &#169;");
    EXPECT_EQ(ReleaseNotes::plain("\n\n \t\u00A0First\u2003 \n \n\t\n\nSecond\n\n"), "First\n\nSecond");
}

TEST(ReleaseNotesText, NothingLeftIsAbsent) {
    EXPECT_EQ(ReleaseNotes::plain(std::nullopt), std::nullopt);
    EXPECT_EQ(ReleaseNotes::plain(""), std::nullopt);
    EXPECT_EQ(ReleaseNotes::plain("<p> </p><!-- x --><br/>\n\t&nbsp;"), std::nullopt);
}

TEST(ReleaseNotesText, CutsAfterFourThousandCharacters) {
    EXPECT_EQ(ReleaseNotes::plain(repeated("\u00E4", 5000)), repeated("\u00E4", 4000));
    // An accented letter written as two code points and a flag are one character each.
    EXPECT_EQ(ReleaseNotes::plain("<p>" + repeated("e\u0301\U0001F1E9\U0001F1EA", 2500) + "</p>"),
              repeated("e\u0301\U0001F1E9\U0001F1EA", 2000));
    EXPECT_EQ(ReleaseNotes::plain(repeated("x", 4000)), repeated("x", 4000));
}

TEST(ReleaseNotesText, SurvivesInvalidUtf8) {
    EXPECT_EQ(ReleaseNotes::plain(std::string("<b>caf\xC3</b> ok")), "caf\uFFFD ok");
}
