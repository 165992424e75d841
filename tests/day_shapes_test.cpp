#include "plot/day_shapes.h"

#include <gtest/gtest.h>

namespace cyclara::plot {
namespace {

// 2026-12-07T00:00:00Z.
constexpr int64_t kMidnightMs = 1'796'601'600'000;
constexpr int64_t kDayMs = 86'400'000;

RecordRow Reading(int64_t ms, std::optional<double> hertz) {
    RecordRow row;
    row.unixMilliseconds = ms;
    row.frequency = hertz;
    row.gridTime = 0.0;
    return row;
}

// The evening before, and this day's first two minutes and last one.
const std::vector<RecordRow> kRows{
    Reading(kMidnightMs - 1000, 50.100),        Reading(kMidnightMs + 1000, 49.951),
    Reading(kMidnightMs + 2000, 49.957),        Reading(kMidnightMs + 61'000, 50.002),
    Reading(kMidnightMs + 62'000, std::nullopt), Reading(kMidnightMs + kDayMs - 500, 50.300),
};

TEST(DayShapesTest, TheHistogramCountsOneUtcDaysReadingsInTheirBins) {
    ASSERT_EQ(LastDayStartMs(kRows), kMidnightMs);
    const Histogram today = HistogramOf(kRows, kMidnightMs, 49.95, 50.05, 0.005);
    ASSERT_EQ(today.counts.size(), 20u);
    EXPECT_EQ(today.total, 4) << "the reading beyond the bins still counts in the share";
    EXPECT_EQ(today.counts[0], 1);  // 49.951
    EXPECT_EQ(today.counts[1], 1);  // 49.957
    EXPECT_EQ(today.counts[10], 1);  // 50.002
    const Histogram before = HistogramOf(kRows, kMidnightMs - kDayMs, 49.95, 50.05, 0.005);
    EXPECT_EQ(before.total, 1);
    EXPECT_EQ(HistogramOf({}, kMidnightMs, 49.95, 50.05, 0.005).total, 0);
}

TEST(DayShapesTest, TheProfileAveragesEachMinuteOfTheDayOverTheDays) {
    const std::vector<std::optional<double>> profile = MinuteProfile(kRows);
    ASSERT_EQ(profile.size(), static_cast<size_t>(kMinutesADay));
    EXPECT_DOUBLE_EQ(*profile[0], (49.951 + 49.957) / 2);
    EXPECT_DOUBLE_EQ(*profile[1], 50.002);
    EXPECT_DOUBLE_EQ(*profile[kMinutesADay - 1], (50.100 + 50.300) / 2) << "both days' last minute";
    EXPECT_FALSE(profile[2].has_value());
}

}  // namespace
}  // namespace cyclara::plot
