#include "DovraneKit/core/Date.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace dovrane;
using dovrane::testing::ScopedEnv;

namespace {
// 2024-05-15 12:00:00 UTC; the suite runs in UTC.
const Date noon = Date::fromUnix(1715774400);
constexpr double hour = 3600, day = 86400;
} // namespace

TEST(RelativeDateText, LargestDifferingUnitWithNamedDays) {
    ScopedEnv english("APP_LANG", "en");
    EXPECT_EQ(DateText::relative(noon, noon), "now");
    EXPECT_EQ(DateText::relative(noon.adding(-30), noon), "30 seconds ago");
    EXPECT_EQ(DateText::relative(noon.adding(-5 * hour), noon), "5 hours ago");
    EXPECT_EQ(DateText::relative(noon.adding(-day), noon), "yesterday");
    EXPECT_EQ(DateText::relative(noon.adding(-3 * day), noon), "3 days ago");
    EXPECT_EQ(DateText::relative(noon.adding(-7 * day), noon), "last week");
    EXPECT_EQ(DateText::relative(noon.adding(-21 * day), noon), "3 weeks ago");
    EXPECT_EQ(DateText::relative(noon.adding(-60 * day), noon), "last month"); // 16 March: one whole month back
    EXPECT_EQ(DateText::relative(noon.adding(-70 * day), noon), "2 months ago");
    EXPECT_EQ(DateText::relative(noon.adding(-800 * day), noon), "2 years ago");
    EXPECT_EQ(DateText::relative(noon.adding(day), noon), "tomorrow");
    EXPECT_EQ(DateText::relative(noon.adding(2 * hour), noon), "in 2 hours");
}

TEST(RelativeDateText, FollowsTheLibrarysLanguage) {
    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(DateText::relative(noon.adding(-day), noon), "gestern");
    EXPECT_EQ(DateText::relative(noon.adding(-21 * day), noon), "vor 3 Wochen");
}

TEST(AbsoluteDateText, FollowsTheLibrarysLanguage) {
    {
        ScopedEnv english("APP_LANG", "en");
        EXPECT_EQ(DateText::abbreviatedDate(noon), "May 15, 2024");
        const std::string withTime = DateText::abbreviatedDateShortTime(noon.adding(4 * hour));
        EXPECT_EQ(withTime.rfind("May 15, 2024, 4:00", 0), 0u) << withTime;
        EXPECT_NE(withTime.find("PM"), std::string::npos) << withTime;
    }
    // The month by name and the time on the 24-hour clock, as German readers expect.
    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(DateText::abbreviatedDate(noon), "15. Mai 2024");
    EXPECT_EQ(DateText::abbreviatedDateShortTime(noon.adding(4 * hour)), "15. Mai 2024, 16:00");
}
