#include "grid/band_watch.h"
#include "grid/grid_bands.h"
#include "grid/rate_watch.h"
#include "measure/time_spans.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <tuple>

namespace cyclara::logger {
namespace {

// Readings one a second (NaN for a pulse without one) through a watch; what it told, as
// "start@s" and "end@s extreme@s" words.
template <typename Watch>
std::vector<std::string> Told(Watch watch, const std::vector<double>& readings) {
    std::vector<std::string> told;
    for (size_t second = 0; second < readings.size(); ++second) {
        if (std::isnan(readings[second])) {
            watch.NoReading();
            continue;
        }
        const auto change =
            watch.Reading(readings[second], static_cast<int64_t>(second) * kSecondNs);
        const Excursion& e = *watch.Current();
        if (change == BandWatch::Change::kStarted) {
            told.push_back("start@" + std::to_string(e.startNs / kSecondNs));
        } else if (change == BandWatch::Change::kEnded) {
            char extreme[64];
            std::snprintf(extreme, sizeof extreme, "end@%lld %.3f@%lld",
                          static_cast<long long>(e.endNs / kSecondNs), e.extremeHz,
                          static_cast<long long>(e.extremeNs / kSecondNs));
            told.push_back(extreme);
        }
    }
    return told;
}

// Through a watch of 49.8 to 50.2 Hz with a minimum of `minimum` seconds.
std::vector<std::string> Told(const std::vector<double>& readings, int64_t minimum) {
    return Told(BandWatch(Band{"full reserve activation", 49.8, 50.2, minimum}), readings);
}

TEST(GridBandsTest, OnesOwnBandsFollowTheGridsAndAreReadWhole) {
    const struct {
        const char* text;
        std::optional<Band> band;
    } cases[] = {
        {"my limit:49.9:50.1", Band{"my limit", 49.9, 50.1, 2}},
        {"held:59.97:60.03:300", Band{"held", 59.97, 60.03, 300}},
        {"upside down:50.1:49.9", std::nullopt},
        {"one reading:49.9:50.1:1", std::nullopt},
        {"comma:49,9:50,1", std::nullopt},
        {":49.9:50.1", std::nullopt},
        {"short:49.9", std::nullopt},
        {"fraction:49.9:50.1:2.5", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<Band> band = ParseBand(c.text);
        ASSERT_EQ(band.has_value(), c.band.has_value()) << c.text;
        if (band) {
            EXPECT_EQ(std::tie(band->name, band->lowHz, band->highHz, band->minimumSeconds),
                      std::tie(c.band->name, c.band->lowHz, c.band->highHz,
                               c.band->minimumSeconds))
                << c.text;
        }
    }
    const Grid grid = GridFor({"great-britain", {*ParseBand("mine:49.9:50.1")}}, 50);
    EXPECT_EQ(grid.bands.size(), GridFor({"great-britain", {}}, 50).bands.size() + 1);
    EXPECT_EQ(grid.bands.back().name, "mine");
}

TEST(BandWatchTest, WhatAnExcursionTells) {
    const double gap = NAN;
    const struct {
        const char* name;
        std::vector<double> readings;
        int64_t minimum;
        std::vector<std::string> told;
    } cases[] = {
        {"a one-cycle slip is no event", {50, 49.02, 50, 50}, 2, {}},
        {"two readings start one; two back end it",
         {50, 49.79, 49.75, 49.78, 49.9, 49.95, 50},
         2,
         {"start@1", "end@4 49.750@2"}},
        {"hovering at the limit is one event",
         {50, 49.799, 49.7995, 49.8005, 49.799, 49.8009, 49.7999, 49.803, 49.81, 50},
         2,
         {"start@1", "end@7 49.799@1"}},
        {"shorter than the minimum is none", {50, 49.7, 49.7, 49.7, 50, 50, 50}, 60, {}},
        {"held for the minimum is one", std::vector<double>(5, 49.7), 4, {"start@0"}},
        {"a pulse without a reading breaks no excursion",
         {50, 49.7, 49.7, gap, 49.6, 49.9, gap, 49.9, 49.9},
         2,
         {"start@1", "end@7 49.600@4"}},
        {"above the band too", {50, 50.3, 50.25, 50.1, 50.1}, 2, {"start@1", "end@3 50.300@1"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Told(c.readings, c.minimum), c.told) << c.name;
    }
}

// A ramp of `hertzPerSecond` from second `from` for `seconds`, on 50 Hz, over `length` seconds.
std::vector<double> Ramp(double hertzPerSecond, int from, int seconds, int length) {
    std::vector<double> readings;
    for (int s = 0; s < length; ++s) {
        readings.push_back(50 + hertzPerSecond * std::clamp(s - from, 0, seconds));
    }
    return readings;
}

TEST(RateWatchTest, ARateHeldForSecondsIsAnEventAndAnArtefactNone) {
    std::vector<double> spike(20, 50.0);
    spike[8] = 50.5;  // one reading half a hertz off, which no slip rule took out
    std::vector<double> gapInRamp = Ramp(-0.2, 5, 10, 25);
    gapInRamp[9] = NAN;
    const struct {
        const char* name;
        std::vector<double> readings;
        std::vector<std::string> told;
    } cases[] = {
        {"a fall of 0.2 Hz/s for 10 s", Ramp(-0.2, 5, 10, 25), {"start@8", "end@18 -0.200@11"}},
        // The one-second means of a fall at 0.15 Hz/s for 4 s: window slopes of -0.0975,
        // -0.135, -0.135 and -0.0975 Hz/s, two beyond the limit.
        {"a drop of 0.6 Hz at 0.15 Hz/s",
         {50, 50, 50, 50, 50, 50, 49.925, 49.775, 49.625, 49.475, 49.4, 49.4, 49.4, 49.4},
         {"start@9", "end@11 -0.135@9"}},
        {"one reading half a hertz off is none", spike, {}},
        {"a drift of 0.05 Hz/s is none", Ramp(0.05, 2, 15, 20), {}},
        // It breaks the confirmation, which begins again after it.
        {"a lost pulse in the fall delays its start", gapInRamp, {"start@10", "end@18 -0.200@11"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Told(RateWatch(), c.readings), c.told) << c.name;
    }
}

}  // namespace
}  // namespace cyclara::logger
