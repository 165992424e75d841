#include "measure/timing.h"

#include <gtest/gtest.h>

#include <limits>

namespace cyclara {
namespace {

struct ScaleCase {
    int64_t ticks;
    int64_t frequency;
    int64_t microseconds;
};

TEST(TimingTest, TicksToMicrosecondsTruncatesTowardZeroWithoutOverflow) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    const ScaleCase cases[] = {
        {3'579'581, 3'579'545, 1'000'010},
        {3'579'546, 3'579'545, 1'000'000},
        {-3'579'546, 3'579'545, -1'000'000},
        {-1'999, 1'000'000'000, -1},
        {999, 1'000'000'000, 0},
        // 3 hours at 1 GHz: ticks * 1,000,000 is past int64, the quotient is not.
        {10'800'000'001'999, 1'000'000'000, 10'800'000'001},
        {-10'800'000'001'999, 1'000'000'000, -10'800'000'001},
        // 256 hours at 10 MHz, the bound a naive product would have.
        {9'216'000'000'000, 10'000'000, 921'600'000'000},
        {kMax, 1'000'000'000, kMax / 1'000},
        {kMax, 10'000'000, 922'337'203'685'477'580},
        {12'345, 0, 0},
        {12'345, -5, 0},
    };
    for (const ScaleCase& c : cases) {
        EXPECT_EQ(TicksToMicroseconds(c.ticks, c.frequency), c.microseconds)
            << c.ticks << " ticks at " << c.frequency;
    }
}

TEST(TimingTest, QuotientsPastInt64SaturateWithASecondToSpare) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    const int64_t high = TicksToMicroseconds(kMax, 1);
    const int64_t low = TicksToMicroseconds(std::numeric_limits<int64_t>::min(), 1);
    EXPECT_GT(high, kMax - 3 * kMicrosecondsPerSecond);
    EXPECT_LE(high, kMax - kMicrosecondsPerSecond);
    EXPECT_EQ(low, -high);
}

}  // namespace
}  // namespace cyclara
