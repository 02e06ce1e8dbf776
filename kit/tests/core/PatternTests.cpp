#include "core/Pattern.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace dovrane;

TEST(Pattern, FindReportsTheFirstGroupThatTookPartAndItsRange) {
    const Pattern tag(R"((?i)<(?:(script)|(style)))", Pattern::unicode);
    const std::string text = "a <STYLE> b <script>";
    auto style = tag.find(text);
    ASSERT_TRUE(style.has_value());
    EXPECT_EQ(style->start, 2u);
    EXPECT_EQ(style->end, 8u);
    EXPECT_EQ(style->group, 2);
    EXPECT_EQ(style->groupIn(text), "STYLE");

    auto script = tag.find(text, style->end);
    ASSERT_TRUE(script.has_value());
    EXPECT_EQ(script->group, 1);
    EXPECT_EQ(script->groupIn(text), "script");
    EXPECT_FALSE(tag.find(text, script->end).has_value());
    EXPECT_FALSE(tag.find(text, text.size() + 1).has_value()) << "a start past the end finds nothing";

    const Pattern noGroups("b");
    EXPECT_EQ(noGroups.find("abc")->group, 0);
}

TEST(Pattern, WholeMatchesOnlyTheEntireTextAndBytesModeTakesAnyBytes) {
    const Pattern identifier(R"([a-z]+(\.[a-z]+)+)", Pattern::whole);
    EXPECT_TRUE(identifier.find("com.example").has_value());
    EXPECT_FALSE(identifier.find("com.example ").has_value());
    EXPECT_FALSE(identifier.find(" com.example").has_value());
    EXPECT_FALSE(identifier
                     .find("com.ex\xFF"
                           "ample")
                     .has_value())
        << "an invalid byte simply fails";

    const Pattern digits(R"(\d+)");
    EXPECT_FALSE(digits.find("\xD9\xA3").has_value()) << "Arabic-Indic three is no ASCII digit in bytes mode";
    const Pattern unicodeDigits(R"(\d+)", Pattern::unicode);
    EXPECT_TRUE(unicodeDigits.find("\xD9\xA3").has_value());
}

TEST(Pattern, SubstituteReplacesEveryMatchAndGrowsPastItsFirstGuess) {
    const Pattern tags("<[^>]+>", Pattern::unicode);
    EXPECT_EQ(tags.substitute("<b>Grüße</b> <i>an</i> Jörg", ""), "Grüße an Jörg");
    // Three times longer than the text: more than the first buffer holds.
    const Pattern letter("a");
    std::string expected;
    for (int i = 0; i < 1000; ++i)
        expected += "xyz";
    EXPECT_EQ(letter.substitute(std::string(1000, 'a'), "xyz"), expected);
}

TEST(Pattern, BrokenPatternMatchesNothing) {
    const Pattern broken("(unclosed");
    EXPECT_FALSE(broken.find("(unclosed").has_value());
    EXPECT_FALSE(broken.substitute("text", "").has_value());
}

TEST(Pattern, OneSharedPatternServesManyThreads) {
    static const Pattern stamp(R"((\d{4})-(\d{2}))");
    std::vector<std::jthread> threads;
    std::vector<int> found(8, 0);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&found, t] {
            const std::string text = "x " + std::to_string(2000 + t) + "-0" + std::to_string(t) + " y";
            for (int i = 0; i < 500; ++i)
                if (auto match = stamp.find(text); match && match->groupIn(text) == std::to_string(2000 + t))
                    ++found[std::size_t(t)];
        });
    threads.clear();
    EXPECT_EQ(found, std::vector<int>(8, 500));
}
