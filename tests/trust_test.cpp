#include "measure/clock_state.h"
#include "grid/timestamp_noise.h"

#include "tests/nanosecond_counter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>

namespace cyclara {
namespace {

// Edges one grid second apart with white timestamp noise of `sigmaUs`, the grid's frequency
// wandering by `wanderMilliHertz` a second (a random walk round 50 Hz); the estimate at each of
// the last 700 of 1000 seconds, over the truth.
std::vector<double> EstimateOverTruth(double sigmaUs, double wanderMilliHertz, uint64_t seed) {
    std::mt19937_64 timestamps(seed), grid(seed + 100);
    std::normal_distribution<double> noise(0.0, sigmaUs * 1e3);
    std::normal_distribution<double> step(0.0, wanderMilliHertz * 1e-3);
    TimestampNoise estimator;
    double frequency = 50.0, trueEdge = 0, lastStamp = noise(timestamps);
    std::vector<double> ratios;
    for (int second = 1; second <= 1000; ++second) {
        frequency = std::clamp(frequency + step(grid), 49.8, 50.2);
        trueEdge += 50.0 / frequency * 1e9;
        const double stamp = trueEdge + noise(timestamps);
        estimator.AddSecond(std::llround(stamp - lastStamp));
        lastStamp = stamp;
        if (second > 300) {
            ratios.push_back(*estimator.SigmaSeconds(kGigahertz) / (sigmaUs * 1e-6));
        }
    }
    return ratios;
}

double Mean(const std::vector<double>& values) {
    return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

// White noise alone is found within a quarter at every second; a wandering grid (1 mHz a
// second) on the same timestamps never takes the estimate below the truth by more than the
// estimate's own scatter.
TEST(TimestampNoiseTest, FindsWhiteNoiseAndNoLessUnderAWanderingGrid) {
    for (const double sigmaUs : {2.0, 20.0, 90.0}) {
        for (const uint64_t seed : {1, 2, 3}) {
            const std::vector<double> still = EstimateOverTruth(sigmaUs, 0, seed);
            const std::vector<double> wandering = EstimateOverTruth(sigmaUs, 1.0, seed);
            EXPECT_GT(*std::min_element(still.begin(), still.end()), 0.75) << sigmaUs;
            EXPECT_LT(*std::max_element(still.begin(), still.end()), 1.25) << sigmaUs;
            EXPECT_GT(*std::min_element(wandering.begin(), wandering.end()), 0.75) << sigmaUs;
            std::printf("noise %g us, seed %llu: estimate over truth %.3f to %.3f, mean %.3f; "
                        "with wander %.3f to %.3f, mean %.3f\n",
                        sigmaUs, static_cast<unsigned long long>(seed),
                        *std::min_element(still.begin(), still.end()),
                        *std::max_element(still.begin(), still.end()), Mean(still),
                        *std::min_element(wandering.begin(), wandering.end()),
                        *std::max_element(wandering.begin(), wandering.end()), Mean(wandering));
        }
    }
}

TEST(TimestampNoiseTest, OnlyUnbrokenRunsOfSecondsCount) {
    TimestampNoise estimator;
    for (int i = 0; i < 10; ++i) {
        estimator.AddSecond(kGigahertz);
        estimator.AddSecond(kGigahertz + 1'000'000);
        estimator.Break();
    }
    EXPECT_FALSE(estimator.SigmaSeconds(kGigahertz)) << "ten differences, each broken off";
}

// One artefact in four minutes (an edge 40 ms out, as a bounce that passed for a second gives)
// moves the estimate by no more than one ordinary second would: the square root of its mean
// square would be some 700 us for minutes.
// The estimate kept as the window slides is what sorting the window's differences gives: their
// median absolute deviation about their median (the upper one of an even count), 1.4826 of it
// the differences' s.d., sqrt(6) of the timestamps'.
TEST(TimestampNoiseTest, SlidesAsSortingTheWindowWould) {
    for (const size_t seconds : {18, 100, 257, 258, 1000}) {
        TimestampNoise estimator;
        std::vector<double> differences;
        uint64_t state = seconds;
        int64_t last = 0;
        for (size_t k = 0; k < seconds; ++k) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            // Whole ticks, some equal: ties are where an ordered window goes wrong.
            const int64_t interval = 1'000'000'000 + static_cast<int64_t>(state >> 58) * 1000;
            if (k > 0) {
                differences.push_back(static_cast<double>(interval - last));
            }
            estimator.AddSecond(interval);
            last = interval;
        }
        const size_t kept = std::min(differences.size(), TimestampNoise::kWindow);
        std::vector<double> window(differences.end() - static_cast<std::ptrdiff_t>(kept),
                                   differences.end());
        std::sort(window.begin(), window.end());
        const double median = window[window.size() / 2];
        for (double& value : window) {
            value = std::fabs(value - median);
        }
        std::sort(window.begin(), window.end());
        const double expected = 1.4826 * window[window.size() / 2] / std::sqrt(6.0) / 1e9;
        EXPECT_DOUBLE_EQ(*estimator.SigmaSeconds(kGigahertz), expected) << seconds;
    }
}

TEST(TimestampNoiseTest, OneArtefactCannotOwnTheEstimate) {
    for (const uint64_t seed : {1u, 2u, 3u}) {
        std::mt19937_64 random(seed);
        std::normal_distribution<double> noise(0.0, 20'000.0);  // 20 us
        TimestampNoise clean, spoilt;
        int64_t previous = 0;
        for (int second = 0; second <= 600; ++second) {
            const auto edge = static_cast<int64_t>(std::llround(noise(random)));
            const int64_t interval = kGigahertz + edge - previous;
            previous = edge;
            clean.AddSecond(interval);
            spoilt.AddSecond(second == 500 ? interval + 40'000'000 : interval);
        }
        EXPECT_NEAR(*spoilt.SigmaSeconds(kGigahertz) / *clean.SigmaSeconds(kGigahertz), 1.0, 0.05)
            << seed;
    }
}

TEST(UncertaintyTest, NoiseAndRateErrorCombine) {
    const std::optional<double> free;
    const struct {
        double sigmaUs, ppm;
        int64_t seconds, epochSeconds;
        std::optional<double> offsetBoundSeconds;  // the kernel's maxerror, while synchronised
        double frequencyMilliHertz, meanMilliHertz, gridTimeMs;
    } cases[] = {
        {20, 0, 1, 1, free, 1.414, 1.414, 0.028},          // one reading, noise alone
        {20, 0, 3600, 3600, free, 1.414, 0.000393, 0.028},  // an hour's mean: the ends only
        {0, 20, 86'400, 86'400, free, 1.0, 1.0, 1728.0},  // a free crystal: 1.7 s a day
        {20, 1, 3600, 3600, 0.050, 1.415, 0.05, 3.6},  // a disciplined clock's assumed 1 ppm
        // A month on a clock kept within 50 ms of UTC: its offsets at the two ends bound the
        // grid time's error (sqrt(2/3) of the bound), where the rate alone gave 2.6 s.
        {20, 1, 30 * 86'400, 30 * 86'400, 0.050, 1.415, 0.05, 40.825},
        {20, 1, 30 * 86'400, 30 * 86'400, free, 1.415, 0.05, 2592.0},
        // An hour's run in an epoch bridged across a day: the grid time carries the day's drift,
        // the mean only its own hour's ends.
        {20, 1, 3600, 86'400, free, 1.415, 0.05, 86.4},
        {20, 1, 3600, 86'400, 0.050, 1.415, 0.05, 40.825},
    };
    for (const auto& c : cases) {
        const Uncertainty u = UncertaintyOf(c.sigmaUs * 1e-6, c.ppm, 50, c.seconds,
                                            c.epochSeconds, c.offsetBoundSeconds);
        EXPECT_NEAR(u.frequencyHz * 1e3, c.frequencyMilliHertz, 0.002) << c.sigmaUs << c.ppm;
        EXPECT_NEAR(u.meanFrequencyHz * 1e3, c.meanMilliHertz, 0.001) << c.seconds;
        EXPECT_NEAR(u.gridTimeSeconds * 1e3, c.gridTimeMs, 0.001) << c.seconds;
    }
}

// The kernel's flag or its 16 s marker means unsynchronised; the start report says what the
// state costs and what to do.
TEST(ClockStateTest, TheKernelsStateAndWhatItCosts) {
    const struct {
        bool flag;
        int64_t maximumErrorUs;
        double ppm;
        std::optional<double> chronySkew;
        const char* says;
    } cases[] = {
        {true, 16'000'000, 0, std::nullopt,
         "not synchronised: the counter runs at its crystal's own rate, typically within 20 "
         "ppm: up to 1 mHz at 50 Hz and 1.73 s of grid time a day; synchronise it"},
        {false, 16'000'000, 0, std::nullopt, "not synchronised"},
        {false, 50'000, 12, std::nullopt,
         "synchronised, frequency correction +12.000 ppm, rate error about 1 ppm (assumed): up "
         "to 0.05 mHz at 50 Hz and 0.0408 s of grid time a day, never more than 0.0408 s "
         "however long it runs (within 50 ms of UTC)"},
        {false, 50'000, -3.5, 0.02,
         "synchronised, frequency correction -3.500 ppm, rate error 0.02 ppm (chrony): up to "
         "0.001 mHz at 50 Hz and 0.00173 s of grid time a day, never more than 0.0408 s"},
    };
    for (const auto& c : cases) {
        ClockState state = KernelClockState(c.flag, c.maximumErrorUs, c.ppm);
        if (c.chronySkew) {
            state.rateErrorPpm = c.chronySkew;
            state.estimatedBy = "chrony";
        }
        EXPECT_EQ(DescribeClock(state, 50).rfind(c.says, 0), 0u) << DescribeClock(state, 50);
        // Only a clock kept to UTC has an offset that bounds its drift.
        const bool kept = !c.flag && c.maximumErrorUs < 16'000'000;
        EXPECT_EQ(OffsetBoundSeconds(state),
                  kept ? std::optional(static_cast<double>(c.maximumErrorUs) / 1e6) : std::nullopt)
            << c.maximumErrorUs;
    }
}

// The disciplined clock's rate in ppm over each 5 s between samples, and which samples are
// flagged as taken during a slew.
TEST(SlewWatchTest, FlagsASlewAndFollowsASteadyRate) {
    const struct {
        const char* name;
        std::vector<double> ppm;
        std::vector<bool> flagged;
    } cases[] = {
        {"a steady correction", {12, 12, 12.5, 11.8, 12}, {false, false, false, false, false}},
        {"a slew of 500 ppm, then back", {3, 3, 230, 500, 300, 3, 3},
         {false, false, true, true, true, false, false}},
        {"a small wobble", {3, 7, -1, 3}, {false, false, false, false}},
        {"a new steady rate, after ten minutes",
         [] {
             std::vector<double> ppm(124, 40.0);
             ppm[0] = ppm[1] = 3;
             return ppm;
         }(),
         [] {
             std::vector<bool> flags(124, false);
             std::fill(flags.begin() + 2, flags.begin() + 2 + 119, true);
             return flags;
         }()},
    };
    for (const auto& c : cases) {
        SlewWatch watch;
        int64_t raw = 1'000'000'000'000, disciplined = raw;
        watch.Sample(raw, disciplined);
        std::vector<bool> flagged;
        for (const double ppm : c.ppm) {
            raw += 5'000'000'000;
            disciplined += 5'000'000'000 + std::llround(ppm * 5'000);
            flagged.push_back(watch.Sample(raw, disciplined));
        }
        EXPECT_EQ(flagged, c.flagged) << c.name;
    }
}

}  // namespace
}  // namespace cyclara
