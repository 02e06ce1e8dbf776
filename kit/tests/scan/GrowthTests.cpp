#include "DovraneKit/scan/Growth.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <limits>

using namespace dovrane;

namespace {

using Sizes = std::map<std::string, std::int64_t>;
constexpr std::int64_t GB = 1'000'000'000, MB = 1'000'000;
const Date day0 = Date::fromUnix(1'700'000'000);

Growth compare(const Sizes& old, const Sizes& newer, std::int64_t usedChange, double days = 1) {
    return Growth::between(old, 50 * GB, day0, newer, 50 * GB + usedChange, day0.adding(days * 86400));
}

} // namespace

TEST(Growth, TheCategoryThatGrewMostWinsAndTheEarlierKeepsATie) {
    Sizes old{{"apps", 10 * GB}, {"caches", 1 * GB}};
    EXPECT_EQ(compare(old, {{"apps", 10 * GB}, {"caches", 3 * GB}, {"xcode", 3 * GB}}, 5 * GB),
              (Growth{5 * GB, CategoryID::xcode, 3 * GB, 1}));
    EXPECT_EQ(compare(old, {{"apps", 10 * GB}, {"caches", 4 * GB}, {"xcode", 3 * GB}}, 6 * GB).top, CategoryID::caches);
    // Missing on one side counts as zero there; names of no category are not read.
    EXPECT_EQ(compare({{"docker", 5 * GB}}, {{"logs", 1 * GB}, {"photos", 9 * GB}}, -4 * GB),
              (Growth{-4 * GB, CategoryID::logs, 1 * GB, 1}));
}

TEST(Growth, UsedSpaceThatNoCategoryExplainsIsOther) {
    Sizes old{{"caches", 2 * GB}}, shrunk{{"caches", 1 * GB}};
    EXPECT_EQ(compare(old, shrunk, 500 * MB), (Growth{500 * MB, CategoryID::other, 500 * MB, 1}));
    EXPECT_EQ(compare(old, shrunk, 500 * MB).sentence(),
              "Used space grew by 500 MB, 500 MB of it System and the rest.");
    EXPECT_EQ(compare(old, shrunk, 50 * MB).sentence(), "Used space stayed about the same.");
    EXPECT_EQ(compare(old, shrunk, 0), (Growth{0, std::nullopt, 0, 1}));
    EXPECT_EQ(compare(old, old, -5), (Growth{-5, std::nullopt, 0, 1}));
}

TEST(Growth, ShrinkingUsedSpaceStillNamesTheCategoryThatGrew) {
    Growth growth = compare({{"projects", 1 * GB}}, {{"projects", 2 * GB}}, -2 * GB);
    EXPECT_EQ(growth, (Growth{-2 * GB, CategoryID::projects, 1 * GB, 1}));
    EXPECT_EQ(growth.sentence(), "Used space shrank by 2 GB.");
    EXPECT_EQ(compare({}, {{"projects", 2 * GB}}, -50 * MB).sentence(), "Used space stayed about the same.");
}

TEST(Growth, DaysAreRoundedAndAtLeastOne) {
    for (auto [apart, days] : {std::pair{1.5, 2}, {1.4, 1}, {6.5, 7}, {7.2, 7}, {0.0, 1}, {-3.0, 1}})
        EXPECT_EQ(compare({}, {}, 0, apart).days, days) << apart;
}

TEST(Growth, SentenceThresholdIsOneHundredMegabytesEitherWay) {
    auto sentence = [](std::int64_t total, std::optional<CategoryID> top = {}, std::int64_t topSize = 0) {
        return Growth{total, top, topSize, 1}.sentence();
    };
    EXPECT_EQ(sentence(100'000'000), "Used space grew by 100 MB.");
    EXPECT_EQ(sentence(100'000'000, CategoryID::xcode, 100'000'000), "Used space grew by 100 MB, 100 MB of it Xcode.");
    EXPECT_EQ(sentence(2'500'000'000, CategoryID::xcode, 99'999'999), "Used space grew by 2.5 GB.");
    EXPECT_EQ(sentence(99'999'999, CategoryID::xcode, 99'999'999), "Used space stayed about the same.");
    EXPECT_EQ(sentence(-100'000'000), "Used space shrank by 100 MB.");
    EXPECT_EQ(sentence(-99'999'999), "Used space stayed about the same.");

    dovrane::testing::ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(sentence(2'500'000'000, CategoryID::projects, 1'230'000'000),
              "Der belegte Platz ist um 2,5 GB gewachsen, davon 1,23 GB Alte Projektordner.");
    EXPECT_EQ(sentence(300 * MB), "Der belegte Platz ist um 300 MB gewachsen.");
    EXPECT_EQ(sentence(-1'500'000'000), "Der belegte Platz ist um 1,5 GB gesunken.");
    EXPECT_EQ(sentence(12), "Der belegte Platz ist etwa gleich geblieben.");
}

TEST(Growth, ReadsTheSizesAScanResultKeeps) {
    ScanResult older, newer;
    older.categories = {Category(CategoryID::caches, 1 * GB), Category(CategoryID::docker, 4 * GB)};
    newer.categories = {Category(CategoryID::caches, 1 * GB), Category(CategoryID::docker, 4 * GB + 700 * MB)};
    Growth growth = Growth::between(older.sizesByCategory(), 10 * GB, day0, newer.sizesByCategory(), 11 * GB,
                                    day0.adding(7 * 86400));
    EXPECT_EQ(growth, (Growth{1 * GB, CategoryID::docker, 700 * MB, 7}));
    EXPECT_EQ(growth.sentence(), "Used space grew by 1 GB, 700 MB of it Docker disk image.");
}

TEST(Growth, ExtremeFiguresFromADamagedRecordSaturateInsteadOfOverflowing) {
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t highest = std::numeric_limits<std::int64_t>::max();
    const Growth growth = Growth::between({{"caches", lowest}}, lowest, day0, {{"caches", 5}}, 5, day0.adding(86400));
    EXPECT_EQ(growth, (Growth{highest, CategoryID::caches, highest, 1}));
    EXPECT_EQ(Growth::between({}, highest, day0, {}, lowest, day0).total, lowest);
}
