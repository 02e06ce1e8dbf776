#include "DovraneKit/scan/ScanModel.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <limits>

using namespace dovrane;
using dovrane::testing::ScopedEnv;

TEST(ByteCounts, SmallCountsInBytes) {
    EXPECT_EQ(bytes(0), "Zero KB");
    EXPECT_EQ(bytes(1), "1 byte");
    EXPECT_EQ(bytes(2), "2 bytes");
    EXPECT_EQ(bytes(999), "999 bytes");
}

TEST(ByteCounts, DecimalUnitsWithTheirDecimalPlaces) {
    EXPECT_EQ(bytes(1000), "1 KB");
    EXPECT_EQ(bytes(1499), "1 KB");
    EXPECT_EQ(bytes(1500), "2 KB");
    EXPECT_EQ(bytes(999'499), "999 KB");
    EXPECT_EQ(bytes(1'000'000), "1 MB");
    EXPECT_EQ(bytes(1'449'999), "1.4 MB");
    EXPECT_EQ(bytes(1'500'000), "1.5 MB");
    EXPECT_EQ(bytes(100'000'000), "100 MB");
    EXPECT_EQ(bytes(999'949'999), "999.9 MB");
    EXPECT_EQ(bytes(3'000'000'000), "3 GB");
    EXPECT_EQ(bytes(24'100'000'000), "24.1 GB");
    EXPECT_EQ(bytes(1'234'567'890), "1.23 GB");
    EXPECT_EQ(bytes(1'500'000'000'000), "1.5 TB");
}

TEST(ByteCounts, RoundingUpMovesIntoTheNextUnit) {
    EXPECT_EQ(bytes(999'500), "1 MB");
    EXPECT_EQ(bytes(999'950'000), "1 GB");
    EXPECT_EQ(bytes(999'995'000'000), "1 TB");
}

TEST(ByteCounts, NegativeAndExtremeCounts) {
    EXPECT_EQ(bytes(-1), "-1 byte");
    EXPECT_EQ(bytes(-1'500'000), "-1.5 MB");
    EXPECT_EQ(bytes(std::numeric_limits<std::int64_t>::max()), "9.22 EB");
    EXPECT_EQ(bytes(std::numeric_limits<std::int64_t>::min()), "-9.22 EB");
}

TEST(ByteCounts, GermanUsesADecimalComma) {
    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(bytes(0), "Null KB");
    EXPECT_EQ(bytes(1), "1 Byte");
    EXPECT_EQ(bytes(999), "999 Byte");
    EXPECT_EQ(bytes(1'000'000), "1 MB");
    EXPECT_EQ(bytes(1'500'000), "1,5 MB");
    EXPECT_EQ(bytes(24'100'000'000), "24,1 GB");
    EXPECT_EQ(bytes(1'234'567'890), "1,23 GB");
}

// The application sets the C locale from the environment; the number must not follow it.
TEST(ByteCounts, IndependentOfTheProcessLocale) {
    std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    bool found = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"})
        if (std::setlocale(LC_NUMERIC, name) && *std::localeconv()->decimal_point == ',') {
            found = true;
            break;
        }
    if (!found) {
        std::setlocale(LC_NUMERIC, saved.c_str());
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    std::string english = bytes(1'000'000), fraction = bytes(1'500'000);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(english, "1 MB");
    EXPECT_EQ(fraction, "1.5 MB");
}
