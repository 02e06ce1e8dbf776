#include "DovraneKit/apps/AppVersion.h"

#include <gtest/gtest.h>

using namespace dovrane;
using AppVersion::Part;

namespace {

struct Row {
    const char* a;
    const char* b;
    ComparisonResult expected;
};

constexpr auto asc = ComparisonResult::orderedAscending;
constexpr auto same = ComparisonResult::orderedSame;
constexpr auto desc = ComparisonResult::orderedDescending;

const Row table[] = {
    {"1.10", "1.9", desc},
    {"2.0", "2.0.0", same},
    {"1.0.0.1", "1.0", desc},
    {"1.0", "1.0b1", desc},
    {"1.0b1", "1.0", asc},
    {"1.0", "1.0.0b", asc},
    {"1.0b2", "1.0b10", asc},
    {"1.0a", "1.0b", asc},
    {"1.0-beta", "1.0-alpha", desc},
    {"1.0RC1", "1.0rc1", same},
    {"1.0 (123)", "1.0", same},
    {"10.15.7", "10.15.7 (19H2)", same},
    {"2.1,3", "2.1", same},
    {"1..2", "1.2", same},
    {"3.2.1-2", "3.2.1", desc},
    {"V2", "1", asc},
    {"", "", same},
    {"", "1", asc},
    {"", "0", same},
    {"", "beta", desc},
    {"12345678901234567890", "123456789012345678", same},
    {"1.\u00B2", "1.0", same},
};

} // namespace

TEST(VersionComparison, FollowsEveryRowOfTheTable) {
    for (const auto& row : table) {
        EXPECT_EQ(AppVersion::compare(row.a, row.b), row.expected)
            << "compare(\"" << row.a << "\", \"" << row.b << "\")";
        // The same pair the other way round gives the opposite answer.
        EXPECT_EQ(static_cast<int>(AppVersion::compare(row.b, row.a)), -static_cast<int>(row.expected)) << row.b;
    }
}

TEST(VersionComparison, IsNewerOnlyWhenDescending) {
    EXPECT_TRUE(AppVersion::isNewer("1.0", "1.0b1"));
    EXPECT_FALSE(AppVersion::isNewer("2.0", "2.0.0"));
    EXPECT_FALSE(AppVersion::isNewer("1.9", "1.10"));
    EXPECT_TRUE(AppVersion::isNewer("2024.2 (9001)", "2024.1 (9999)"));
}

TEST(VersionComparison, TextsOrderByCodePointsAfterNormalisation) {
    EXPECT_EQ(AppVersion::compare("1.0beta", "1.0b"), desc);
    EXPECT_EQ(AppVersion::compare("1.0beta", "1.0rc"), asc);
    // é written precomposed and as e with a combining accent is the same letter.
    EXPECT_EQ(AppVersion::compare("1.0\u00E9", "1.0e\u0301"), same);
    EXPECT_EQ(AppVersion::compare("1.0\u00E9", "1.0f"), desc);
}

TEST(VersionParts, SplitsNumbersAndLetterRuns) {
    std::vector<Part> expected = {Part::makeNumber(4), Part::makeNumber(0), Part::makeText("b"), Part::makeNumber(2)};
    EXPECT_EQ(AppVersion::parts("4.0b2"), expected);
    EXPECT_EQ(AppVersion::parts("RC"), std::vector<Part>{Part::makeText("rc")});
    EXPECT_EQ(AppVersion::parts("1-2_3+4~(5)"),
              (std::vector<Part>{Part::makeNumber(1), Part::makeNumber(2), Part::makeNumber(3), Part::makeNumber(4),
                                 Part::makeNumber(5)}));
}

TEST(VersionParts, OnlyTheFirstPieceBeforeSpaceOrCommaCounts) {
    EXPECT_TRUE(AppVersion::parts("").empty());
    EXPECT_TRUE(AppVersion::parts("  ,").empty());
    EXPECT_EQ(AppVersion::parts("  ,7.1 8"), (std::vector<Part>{Part::makeNumber(7), Part::makeNumber(1)}));
    EXPECT_EQ(AppVersion::parts("2024.1 (8812)"), (std::vector<Part>{Part::makeNumber(2024), Part::makeNumber(1)}));
}

TEST(VersionParts, ReadsLettersAndNumeralsOfEveryScript) {
    // Greek letters lower-cased, a Devanagari vowel sign kept with its consonant.
    EXPECT_EQ(AppVersion::parts("2\u0392\u0397\u03A4\u0391"),
              (std::vector<Part>{Part::makeNumber(2), Part::makeText("\u03B2\u03B7\u03C4\u03B1")}));
    EXPECT_EQ(AppVersion::parts("\u0915\u093F"), std::vector<Part>{Part::makeText("\u0915\u093F")});
    // Arabic-Indic digits and a vulgar fraction are numerals, but not ASCII: their value is 0.
    EXPECT_EQ(AppVersion::parts("\u0661\u0662a"), (std::vector<Part>{Part::makeNumber(0), Part::makeText("a")}));
    EXPECT_EQ(AppVersion::parts("3\u00BD"), std::vector<Part>{Part::makeNumber(0)});
    // Roman numeral twelve is both a letter and a number: it counts as a number.
    EXPECT_EQ(AppVersion::parts("x\u216B"), (std::vector<Part>{Part::makeText("x"), Part::makeNumber(0)}));
}
