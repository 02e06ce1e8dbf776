#include "core/Ascii.h"
#include "core/Characters.h"
#include "core/Utf8.h"

#include <gtest/gtest.h>

#include <string>

using namespace dovrane;

TEST(Characters, CountedAndCutAsAReaderSeesThem) {
    EXPECT_EQ(characterCount(""), 0u);
    EXPECT_EQ(characterCount("abc"), 3u);
    // e + combining acute, a flag of two regional indicators, a letter of two bytes.
    EXPECT_EQ(characterCount("e\u0301\U0001F1E9\U0001F1EA\u00E4"), 3u);
    EXPECT_EQ(prefixCharacters("e\u0301\U0001F1E9\U0001F1EAz", 2), "e\u0301\U0001F1E9\U0001F1EA");
    EXPECT_EQ(prefixCharacters("short", 10), "short");
}

TEST(Characters, TrimmingTellsLineBreaksFromHorizontalSpace) {
    EXPECT_EQ(trimmedWhiteSpace("\n\t\u00A0 text \u2003\r\n"), "text");
    EXPECT_EQ(trimmedHorizontalSpace("\t\u00A0 text \u2003"), "text");
    EXPECT_EQ(trimmedHorizontalSpace("\ntext\n"), "\ntext\n");
    EXPECT_EQ(trimmedWhiteSpace("inner  space"), "inner  space");
}

TEST(AsciiCase, OnlyAsciiLettersChange) {
    EXPECT_EQ(ascii::lowercased("Homebrew-DMG.ZIP"), "homebrew-dmg.zip");
    // Non-ASCII letters and bytes that are no UTF-8 stay exactly themselves.
    EXPECT_EQ(ascii::lowercased("\xC3\x84RGER \xFF"), "\xC3\x84rger \xFF");
    EXPECT_EQ(ascii::lowercased('@'), '@');
}

TEST(Utf8Text, ValidityAndRepair) {
    EXPECT_TRUE(utf8::isValid("Grüße"));
    EXPECT_FALSE(utf8::isValid("caf\xE9"));
    EXPECT_FALSE(utf8::isValid("\xED\xA0\x80")) << "an encoded surrogate";
    EXPECT_FALSE(utf8::isValid("\xC0\xAF")) << "an overlong slash";
    EXPECT_EQ(utf8::valid("caf\xE9!"), "caf\uFFFD!");
}
