// What would make a benchmark figure wrong: the median, a target met at its limit, the printed ratio.

#include "bench/bench_logic.h"

#include <gtest/gtest.h>

namespace {

using namespace Velmora::Bench;

TEST(BenchFigures, MedianIsTheMiddleSampleOrTheMeanOfTheTwoMiddleOnesWhateverTheOrder) {
    EXPECT_EQ(Median({}), std::nullopt);
    EXPECT_EQ(Median({7.0}), 7.0);
    EXPECT_EQ(Median({9.0, 1.0, 5.0}), 5.0);
    EXPECT_EQ(Median({40.0, 10.0, 30.0, 20.0}), 25.0);
    EXPECT_EQ(Median({3.0, 3.0, 100.0}), 3.0);
}

TEST(BenchFigures, AtLeastAndAtMostIncludeTheLimitBelowExcludesItAndNothingMeasuredIsNoVerdict) {
    EXPECT_EQ(IsMet({Goal::AtLeast, 100.0}, 100.0), true);
    EXPECT_EQ(IsMet({Goal::AtLeast, 100.0}, 99.9), false);
    EXPECT_EQ(IsMet({Goal::Below, 1500.0}, 1499.0), true);
    EXPECT_EQ(IsMet({Goal::Below, 1500.0}, 1500.0), false);
    EXPECT_EQ(IsMet({Goal::AtMost, 60.0}, 60.0), true);
    EXPECT_EQ(IsMet({Goal::AtMost, 60.0}, 60.1), false);
    EXPECT_EQ(IsMet({Goal::Below, 50.0}, std::nullopt), std::nullopt);
}

TEST(BenchFigures, RatiosAndTimesAreWrittenInTheirUnits) {
    EXPECT_EQ(FormatRatio(1117.4), "1117x");
    EXPECT_EQ(FormatRatio(1.854), "1.85x");
    EXPECT_EQ(FormatRatio(std::nullopt), "-");
    EXPECT_EQ(FormatMilliseconds(12.34), "12.3 ms");
    EXPECT_EQ(FormatMilliseconds(1234.0), "1.23 s");
}

} // namespace
