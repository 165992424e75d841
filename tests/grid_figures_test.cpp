#include "grid/grid_figures.h"
#include "measure/wall_clock.h"

#include "tests/nanosecond_counter.h"

#include <gtest/gtest.h>

#include <vector>

namespace cyclara {
namespace {

struct FigureCase {
    const char* name;
    int nominal;
    std::vector<int64_t> intervalsNs;  // after the reference
    PulseFigures::Kind kind;
    int64_t seconds;
    int64_t lost;
    const char* frequency;  // "-" for none
    const char* meanFrequency;
    const char* gridTime;
    int slipCycles = 0;
};

void PrintTo(const FigureCase& c, std::ostream* out) {
    *out << c.name;
}

std::string HertzOrDash(const std::optional<int64_t>& hertz) {
    return hertz ? FormatHertz(*hertz) : "-";
}

class GridFiguresTest : public ::testing::TestWithParam<FigureCase> {};

TEST_P(GridFiguresTest, FollowTheLastPulse) {
    const FigureCase& c = GetParam();
    GridClock clock(kGigahertz);
    clock.SetNominal(c.nominal);
    int64_t ticks = 5 * kGigahertz;
    PulseFigures figures = clock.OnPulse(ticks);
    EXPECT_EQ(figures.kind, PulseFigures::Kind::kReference);
    for (const int64_t interval : c.intervalsNs) {
        ticks += interval;
        figures = clock.OnPulse(ticks);
    }
    EXPECT_EQ(figures.kind, c.kind);
    EXPECT_EQ(figures.seconds, c.seconds);
    EXPECT_EQ(figures.lost, c.lost);
    EXPECT_EQ(HertzOrDash(figures.frequencyTenMicroHz), c.frequency);
    EXPECT_EQ(HertzOrDash(figures.meanFrequencyTenMicroHz), c.meanFrequency);
    EXPECT_EQ(FormatSignedSeconds(figures.gridTimeDeviationUs), c.gridTime);
    EXPECT_EQ(figures.slipCycles, c.slipCycles);
}

std::vector<int64_t> Repeat(int64_t interval, size_t count) {
    return std::vector<int64_t>(count, interval);
}

INSTANTIATE_TEST_SUITE_P(
    Pulses, GridFiguresTest,
    ::testing::Values(
        FigureCase{"TenMicrosecondsSlow", 50, {1'000'010'000}, PulseFigures::Kind::kMeasured, 1,
                   0, "49.99950", "49.99950", "-0.000010"},
        FigureCase{"SixtyHertzFast", 60, {999'990'000, 999'990'000},
                   PulseFigures::Kind::kMeasured, 2, 0, "60.00060", "60.00060", "+0.000020"},
        FigureCase{"NominalNotYetKnown", 0, {1'000'010'000}, PulseFigures::Kind::kMeasured, 1,
                   0, "-", "-", "-0.000010"},
        FigureCase{"OnePulseLost", 50, {1'000'000'000, 2'000'020'000},
                   PulseFigures::Kind::kMeasured, 3, 1, "49.99950", "49.99967", "-0.000020"},
        FigureCase{"ExactlyOneAndAHalfSeconds", 50, {1'500'000'000},
                   PulseFigures::Kind::kIrregular, 2, 0, "-", "66.66667", "+0.500000"},
        // A spurious edge between two true ones is neither counted nor a reference.
        FigureCase{"AGlitchBetweenTwoSeconds", 50, {1'000'000'000, 300'000'000, 700'010'000},
                   PulseFigures::Kind::kMeasured, 2, 0, "49.99950", "49.99975", "-0.000010"},
        FigureCase{"TheGlitchItself", 50, {1'000'010'000, 300'000'000},
                   PulseFigures::Kind::kGlitch, 1, 0, "-", "49.99950", "-0.000010"},
        FigureCase{"ABounceJustAfterAnEdge", 50, {1'000'000'000, 400'000, 999'590'000},
                   PulseFigures::Kind::kMeasured, 2, 0, "50.00050", "50.00025", "+0.000010"},
        // What a grid that stays connected can do: 47.5 to 52.5 Hz, seconds of 1/1.05 to
        // 1/0.95 s. Edges outside are no reading: a bounce at 0.92 s read 54.35 Hz, and the
        // second after it 46.30 Hz.
        FigureCase{"TheShortestSecondAGridSurvives", 50, {952'381'000},
                   PulseFigures::Kind::kMeasured, 1, 0, "52.50000", "52.50000", "+0.047619"},
        FigureCase{"JustShortOfIt", 50, {952'380'000}, PulseFigures::Kind::kGlitch, 0, 0, "-",
                   "-", "+0.000000"},
        FigureCase{"AnEdgeAt092s", 50, {1'000'000'000, 920'000'000},
                   PulseFigures::Kind::kGlitch, 1, 0, "-", "50.00000", "+0.000000"},
        FigureCase{"TheLongestSecond", 50, {1'052'631'000}, PulseFigures::Kind::kMeasured, 1,
                   0, "47.50003", "47.50003", "-0.052631"},
        FigureCase{"JustLongerThanIt", 50, {1'052'632'000}, PulseFigures::Kind::kIrregular, 1,
                   0, "-", "47.49998", "-0.052632"},
        FigureCase{"AnEdgeAt108s", 50, {1'000'000'000, 1'080'000'000},
                   PulseFigures::Kind::kIrregular, 2, 0, "-", "48.07692", "-0.080000"},
        FigureCase{"CounterGoesBackwards", 50, {1'000'000'000, -5},
                   PulseFigures::Kind::kCounterBack, 0, 0, "-", "-", "+0.000000"},
        // A second of 51 cycles between two that agree: the device miscounted. The reading and
        // the grid time count the 51 cycles; no step is left behind.
        FigureCase{"ACycleSlip", 50, {1'000'000'000, 1'000'000'000, 1'020'000'000},
                   PulseFigures::Kind::kMeasured, 3, 0, "50.00000", "50.00000", "+0.000000", 1},
        FigureCase{"ACycleShort", 50, {1'000'000'000, 1'000'000'000, 980'000'000},
                   PulseFigures::Kind::kMeasured, 3, 0, "50.00000", "50.00000", "+0.000000", -1},
        FigureCase{"TheSecondAfterASlip", 50,
                   {1'000'000'000, 1'000'000'000, 1'020'000'000, 1'000'010'000},
                   PulseFigures::Kind::kMeasured, 4, 0, "49.99950", "49.99988", "-0.000010"},
        // Neighbours that disagree, or a gap before it: no grounds to call it a slip.
        FigureCase{"NeighboursThatDisagree", 50, {1'000'000'000, 1'004'000'000, 1'020'000'000},
                   PulseFigures::Kind::kMeasured, 3, 0, "49.01961", "49.60317", "-0.024000"},
        FigureCase{"AGapBeforeIt", 50, {1'000'000'000, 2'000'000'000, 1'020'000'000},
                   PulseFigures::Kind::kMeasured, 4, 0, "49.01961", "49.75124", "-0.020000"},
        FigureCase{"ADayOfDrift", 50, Repeat(1'000'010'000, 86'400),
                   PulseFigures::Kind::kMeasured, 86'400, 0, "49.99950", "49.99950",
                   "-0.864000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GridFiguresTest, IntervalsKeepWhatTheCounterResolves) {
    const struct {
        int64_t ticks, frequency;
        const char* text;
    } cases[] = {{1'000'010'123, kGigahertz, "1000010.123"},
                 {10'000'101, 10'000'000, "1000010.1"},
                 {3'579'581, 3'579'545, "1000010"},
                 {-4'000, kGigahertz, "-4.000"}};
    for (const auto& c : cases) {
        EXPECT_EQ(FormatIntervalMicroseconds(c.ticks, c.frequency), c.text) << c.text;
    }
}

TEST(WallClockTest, CounterReadingsBecomeUtcThroughOnePairing) {
    // 2026-12-07 23:59:59.9999995 UTC, paired with counter value 1e12 at 1 GHz.
    const WallPairing pairing{1'796'687'999'999'999'500, 1'000'000'000'000};
    const struct {
        int64_t ticks;
        const char* utc;
        const char* date;
    } cases[] = {{1'000'000'000'000, "2026-12-07T23:59:59.999999Z", "2026-12-07"},
                 {1'000'000'000'500, "2026-12-08T00:00:00.000000Z", "2026-12-08"},
                 {999'000'000'000, "2026-12-07T23:59:58.999999Z", "2026-12-07"}};
    for (const auto& c : cases) {
        const int64_t utc = UnixNanosecondsOf(c.ticks, pairing, kGigahertz);
        EXPECT_EQ(FormatUtc(utc), c.utc);
        EXPECT_EQ(UtcDate(utc), c.date);
    }
}

// Clocks that step as a thread sees them: the realtime clock is the counter's time plus a
// fixed offset, read when the counter stands where the script says; a preemption between two
// reads shows as a jump.
TEST(WallClockTest, APreemptionBetweenTheReadsDoesNotMoveThePairing) {
    constexpr int64_t kOffset = 1'796'600'000'000'000'000;
    const struct {
        std::vector<int64_t> counter;  // before, after; for each try
        std::vector<int64_t> seenByRealtime;
        int64_t ticks;
    } cases[] = {
        // Preempted for 3 ms after the first counter reading of the first try.
        {{100, 3'000'200, 3'000'300, 3'000'400, 3'000'500, 3'000'600, 3'000'700, 3'000'800,
          3'000'900, 3'001'000},
         {3'000'100, 3'000'350, 3'000'550, 3'000'750, 3'000'950},
         3'000'350},
        // Preempted after the realtime read of the last try, which is not the narrowest.
        {{100, 200, 300, 400, 500, 600, 700, 800, 900, 5'000'000},
         {150, 350, 550, 750, 950},
         150},
    };
    for (const auto& c : cases) {
        size_t counterReads = 0;
        size_t realtimeReads = 0;
        const WallPairing pairing = TightestPairing(
            [&] { return c.counter.at(counterReads++); },
            [&] { return kOffset + c.seenByRealtime.at(realtimeReads++); });
        EXPECT_EQ(pairing.unixNanoseconds - pairing.ticks, kOffset) << c.ticks;
        EXPECT_EQ(pairing.ticks, c.ticks);
    }
}

}  // namespace
}  // namespace cyclara
