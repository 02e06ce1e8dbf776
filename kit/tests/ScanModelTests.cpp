#include "DovraneKit/ScanModel.h"

#include <gtest/gtest.h>

using namespace dovrane;

TEST(CategoryConstruction, SizeDefaultsToSumOfItems) {
    EXPECT_EQ(Category(CategoryID::caches).size, 0);
}
