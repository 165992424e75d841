#include "logger/epoch/grid_time_epoch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace cyclara::logger {
namespace {

constexpr int64_t kSecondNs = 1'000'000'000;

// A run's reference pulse after a gap of `pulses` seconds the device counted, against a grid
// that ran at `gapHz` through it: what the epoch says and the deviation it goes on from.
struct Gap {
    const char* name;
    double pulses;
    double gapHz;
    ClockState::Discipline clock;
    const char* event;
    bool continues;
};

TEST(GridTimeEpochTest, AGapIsBridgedOnlyWhileItsWholeSecondsCanBeCounted) {
    const auto synchronised = ClockState::Discipline::kSynchronised;
    const Gap gaps[] = {
        {"30 s, the grid wandering 0.15 Hz", 30, 50.25, synchronised, "bridged 30 s", true},
        {"90 s, wandering 0.15 Hz the other way", 90, 49.95, synchronised, "bridged 90 s",
         true},
        {"two minutes", 120, 50.1, synchronised,
         "new epoch: a gap of 120 s is too long to count its seconds", false},
        {"an hour", 3600, 50.1, synchronised,
         "new epoch: a gap of 3593 s is too long to count its seconds", false},
        {"30 s on an unsynchronised clock", 30, 50.1, ClockState::Discipline::kUnsynchronised,
         "new epoch: the clock is not synchronised", false},
    };
    for (const Gap& gap : gaps) {
        // The last pulse before the gap: 12.345 ms ahead, at a mean of 50.1 Hz.
        const EpochState before{0, 1000 * kSecondNs, 12'345, 50.1, 50};
        GridTimeEpoch epoch(before);
        const double counted = gap.pulses;
        const double trueSeconds = counted * 50 / gap.gapHz;
        PulseReport reference;
        reference.unixNanoseconds = before.lastUnixNs + std::llround(trueSeconds * 1e9);
        reference.figures = PulseFigures{};
        reference.event = "start";
        reference.clock.discipline = gap.clock;
        EXPECT_EQ(epoch.Apply(reference), gap.event) << gap.name;
        const int64_t truth = before.lastDeviationUs + std::llround((counted - trueSeconds) * 1e6);
        EXPECT_EQ(reference.figures->gridTimeDeviationUs, gap.continues ? truth : 0) << gap.name;
        EXPECT_EQ(reference.gridTimeSinceNs, gap.continues ? 0 : reference.unixNanoseconds)
            << gap.name;
    }
}

}  // namespace
}  // namespace cyclara::logger
