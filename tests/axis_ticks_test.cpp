#include "plot/axis_ticks.h"

#include <gtest/gtest.h>

namespace cyclara::plot {
namespace {

constexpr double kMinuteMs = 60'000;
constexpr double kHourMs = 60 * kMinuteMs;
constexpr double kDayMs = 24 * kHourMs;
// 2026-12-07T00:00:00Z.
constexpr double kMidnightMs = 1'796'601'600'000;

struct TickCase {
    const char* name;
    double from, to, offset;
    Ticks ticks;
};

TEST(AxisTicksTest, TimesFallOnRoundClockTimesThatTakeInTheData) {
    const TickCase cases[] = {
        {"a day of rows from 00:00:00.2 to 23:59:59.9", kMidnightMs + 200, kMidnightMs + kDayMs - 100,
         0, {kMidnightMs, 3 * kHourMs, 8}},
        {"an hour from 13:00:07", kMidnightMs + 13 * kHourMs + 7000,
         kMidnightMs + 14 * kHourMs + 7000, 0, {kMidnightMs + 13 * kHourMs, 10 * kMinuteMs, 7}},
        {"ten minutes from 13:02:30", kMidnightMs + 13 * kHourMs + 150'000,
         kMidnightMs + 13 * kHourMs + 750'000, 0,
         {kMidnightMs + 13 * kHourMs + 2 * kMinuteMs, 2 * kMinuteMs, 6}},
        {"a day in a zone an hour and a half ahead: its midnight, not UTC's", kMidnightMs,
         kMidnightMs + kDayMs, 1.5 * kHourMs, {kMidnightMs - 1.5 * kHourMs, 6 * kHourMs, 5}},
    };
    for (const TickCase& c : cases) {
        const Ticks ticks = TimeTicks(c.from, c.to, c.offset);
        EXPECT_EQ(ticks.first, c.ticks.first) << c.name;
        EXPECT_EQ(ticks.step, c.ticks.step) << c.name;
        EXPECT_EQ(ticks.intervals, c.ticks.intervals) << c.name;
    }
}

TEST(AxisTicksTest, ValuesFallOnRoundNumbersShownWithTheirDecimals) {
    const struct {
        double low, high;
        double first, step;
        int intervals, decimals;
    } cases[] = {
        {49.8, 50.2, 49.8, 0.05, 8, 2},
        {49.93, 50.05, 49.92, 0.02, 7, 2},
        {49.96, 50.0, 49.96, 0.005, 8, 3},
        {-3.21, 7.597, -4, 2, 6, 0},
        {0.0001, 0.0009, 0.0001, 0.0001, 8, 4},
    };
    for (const auto& c : cases) {
        const Ticks ticks = ValueTicks(c.low, c.high);
        EXPECT_NEAR(ticks.first, c.first, 1e-9) << c.low << ".." << c.high;
        EXPECT_NEAR(ticks.step, c.step, 1e-12) << c.low << ".." << c.high;
        EXPECT_EQ(ticks.intervals, c.intervals) << c.low << ".." << c.high;
        EXPECT_EQ(DecimalsOf(ticks.step), c.decimals) << c.low << ".." << c.high;
    }
}

}  // namespace
}  // namespace cyclara::plot
