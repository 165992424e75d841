#include "grid/grid_figures.h"
#include "measure/reference_rate.h"

#include "tests/nanosecond_counter.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace cyclara {
namespace {

// The reference's second on a counter that runs 20 ppm fast.
constexpr int64_t kFastSecond = 1'000'020'000;

struct ReferenceCase {
    const char* name;
    std::vector<int64_t> risesAfterFirstNs;  // each from the one before
    int64_t askedAfterLastNs;
    std::optional<double> clockPpm;  // none: no rate
};

void PrintTo(const ReferenceCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<int64_t> Seconds(size_t count, int64_t length = kFastSecond) {
    return std::vector<int64_t>(count, length);
}

std::vector<int64_t> Joined(std::vector<int64_t> first, const std::vector<int64_t>& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
}

class ReferenceSecondsTest : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(ReferenceSecondsTest, GiveTheCountersRateWhileTheReferenceIsThere) {
    const ReferenceCase& c = GetParam();
    ReferenceSeconds reference(kGigahertz);
    int64_t ticks = 7 * kGigahertz;
    reference.OnRise(ticks);
    for (const int64_t interval : c.risesAfterFirstNs) {
        ticks += interval;
        reference.OnRise(ticks);
    }
    const std::optional<ReferenceRate> rate = reference.RateAt(ticks + c.askedAfterLastNs);
    ASSERT_EQ(rate.has_value(), c.clockPpm.has_value());
    if (rate) {
        EXPECT_NEAR(rate->clockPpm, *c.clockPpm, 1e-6);
        EXPECT_NEAR(rate->ticksPerSecond, kGigahertz * (1 + *c.clockPpm * 1e-6), 1e-3);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rises, ReferenceSecondsTest,
    ::testing::Values(
        ReferenceCase{"SevenSecondsAreTooFewToTrust", Seconds(6), 0, std::nullopt},
        ReferenceCase{"EightGiveTheRate", Seconds(7), 0, 20.0},
        ReferenceCase{"AStrayEdgeBetweenSecondsIsNoise",
                      Joined(Seconds(7), {300'000'000, kFastSecond - 300'000'000}), 0, 20.0},
        ReferenceCase{"AMissedSecondIsCountedAcross",
                      Joined(Seconds(4), Joined({2 * kFastSecond}, Seconds(4))), 0, 20.0},
        ReferenceCase{"AnEdgeOffTheSecondsStartsAgain",
                      Joined(Seconds(9), Joined({1'500'000'000}, Seconds(5))), 0, std::nullopt},
        ReferenceCase{"QuietForTwoAndAHalfSecondsIsLost", Seconds(9), 2'600'000'000,
                      std::nullopt},
        ReferenceCase{"AStepInTheRateIsFollowedWithinTheWindow",
                      Joined(Seconds(30, kGigahertz - 5'000), Seconds(70)), 0, 20.0}));

TEST(GridClockWithReference, MeasuresInItsSecondsAndCarriesTheGridTimeAcrossItsLoss) {
    GridClock clock(kGigahertz);
    clock.SetNominal(50);
    int64_t ticks = 3 * kGigahertz;
    clock.OnPulse(ticks);
    // Ten counter seconds measured by a reference that finds them 20 ppm long...
    clock.SetTicksPerSecond(static_cast<double>(kFastSecond));
    PulseFigures figures;
    for (int second = 0; second < 10; ++second) {
        ticks += kGigahertz;
        figures = clock.OnPulse(ticks);
    }
    EXPECT_EQ(FormatHertz(*figures.frequencyTenMicroHz), "50.00100");
    EXPECT_EQ(FormatSignedSeconds(figures.gridTimeDeviationUs), "+0.000200");
    // ...then ten more by the counter itself: the 200 us the reference found stay.
    clock.SetTicksPerSecond(std::nullopt);
    for (int second = 0; second < 10; ++second) {
        ticks += kGigahertz;
        figures = clock.OnPulse(ticks);
    }
    EXPECT_EQ(FormatHertz(*figures.frequencyTenMicroHz), "50.00000");
    EXPECT_EQ(FormatHertz(*figures.meanFrequencyTenMicroHz), "50.00050");
    EXPECT_EQ(FormatSignedSeconds(figures.gridTimeDeviationUs), "+0.000200");
}

}  // namespace
}  // namespace cyclara
