#include "logger/period_figures.h"

#include <gtest/gtest.h>

#include <cmath>

namespace cyclara::logger {
namespace {

constexpr int64_t kSecondNs = 1'000'000'000;
constexpr int64_t kStart = 1'800'000'000;  // a UTC minute's start, in seconds
constexpr double kGlitch = -1;  // an edge too early, repeating the last reading

// A period of one reading a second from a UTC minute's start, against a band of 49.9 to 50.1.
PeriodFigures PeriodOfReadings(const std::vector<double>& hertz) {
    PeriodFigures period({Band{"band", 49.9, 50.1, 2}});
    PulseReport report;
    report.pulse = CountedPulse{};
    report.pulse->count = 1;
    for (size_t i = 0; i < hertz.size(); ++i) {
        report.unixNanoseconds = (kStart + static_cast<int64_t>(i)) * kSecondNs;
        const bool glitch = hertz[i] == kGlitch;
        PulseFigures figures = report.figures.value_or(PulseFigures{});
        figures.kind = glitch ? PulseFigures::Kind::kGlitch : PulseFigures::Kind::kMeasured;
        figures.frequency = glitch ? figures.frequency : std::llround(hertz[i] * 1e5);
        report.figures = figures;
        period.Add(report);
    }
    return period;
}

TEST(PeriodFiguresTest, WhatAPeriodOfReadingsShows) {
    const std::vector<double> minute(60, 50.06);  // a whole minute outside the standard range
    std::vector<double> twoMinutes = minute;
    twoMinutes.insert(twoMinutes.end(), 60, 50.0);
    const struct {
        const char* name;
        std::vector<double> hertz;
        int64_t readings;
        double mean, sd;
        int64_t lowestAt, highestAt, outside, minutesOutside, outsideBand;
    } cases[] = {
        {"extremes at their times", {50.0, 49.85, 50.02, 50.12, 50.0}, 5, 49.998, 0.09654, 1, 3, 2,
         0, 2},
        {"a glitch is no reading", {50.0, kGlitch, 50.02}, 2, 50.01, 0.01414, 0, 2, 0, 0, 0},
        {"a minute outside by its mean", minute, 60, 50.06, 0, 0, 0, 60, 1, 0},
        {"and one inside after it", twoMinutes, 120, 50.03, 0.03013, 60, 0, 60, 1, 0},
    };
    for (const auto& c : cases) {
        const PeriodFigures period = PeriodOfReadings(c.hertz);
        EXPECT_EQ(period.Readings(), c.readings) << c.name;
        EXPECT_NEAR(static_cast<double>(*period.Mean()) / 1e5, c.mean, 1e-5) << c.name;
        EXPECT_NEAR(period.StandardDeviationHz().value_or(0), c.sd, 1e-5) << c.name;
        EXPECT_EQ(period.LowestNs() / kSecondNs - kStart, c.lowestAt) << c.name;
        EXPECT_EQ(period.HighestNs() / kSecondNs - kStart, c.highestAt) << c.name;
        EXPECT_EQ(period.SecondsOutsideStandardRange(), c.outside) << c.name;
        EXPECT_EQ(period.MinutesOutsideStandardRange(), c.minutesOutside) << c.name;
        EXPECT_EQ(period.SecondsOutsideBands(), std::vector<int64_t>{c.outsideBand}) << c.name;
    }
}

}  // namespace
}  // namespace cyclara::logger
