// The pipeline driven by a script of edges, lines and events on a virtual clock: every record
// it makes is checked exactly against what the script implies.
#include "grid/pulse_pipeline.h"
#include "record/record_layout.h"
#include "measure/time_spans.h"
#include "measure/wall_clock.h"
#include "tests/virtual_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace cyclara::logger {
namespace {

constexpr int64_t kUtcAtZeroNs = 1'796'601'600 * kSecondNs;  // 2026-12-07T00:00:00Z

struct Step {
    enum class What { kEdge, kFigure, kEvent, kClock, kReferenceRise, kAnchor, kSlew };
    What what;
    int64_t atNs = 0;  // the edge's or the reference rise's counter, the event's moment, or ppm
    std::string figure;
    RunEvent::Kind event = RunEvent::Kind::kNone;
    ClockState clock;
    GridTimeAnchor anchor;
};

Step Edge(int64_t atNs) {
    return {Step::What::kEdge, atNs, "", RunEvent::Kind::kNone, {}, {}};
}
Step Figure(const char* figure) {
    return {Step::What::kFigure, 0, figure, RunEvent::Kind::kNone, {}, {}};
}
Step Happens(RunEvent::Kind kind, int64_t atNs) {
    return {Step::What::kEvent, atNs, "", kind, {}, {}};
}
Step ClockIs(ClockState::Discipline discipline, bool slewing = false) {
    ClockState state;
    state.discipline = discipline;
    state.slewing = slewing;
    return {Step::What::kClock, 0, "", RunEvent::Kind::kNone, state, {}};
}
Step ReferenceRise(int64_t atNs) {
    return {Step::What::kReferenceRise, atNs, "", RunEvent::Kind::kNone, {}, {}};
}
// The counter runs `ppm` faster than the raw crystal from here on, as a daemon's slew makes it.
Step Slew(int64_t ppm) {
    return {Step::What::kSlew, ppm, "", RunEvent::Kind::kNone, {}, {}};
}
Step Anchor(int64_t deviationUs, int64_t atUtcNs) {
    return {Step::What::kAnchor, 0, "", RunEvent::Kind::kNone, {}, {deviationUs, atUtcNs}};
}

// One record as "UTC | event | frequency | nominal | the device's line | bands started(+) or
// ended(-)". An event the pulse's own figures cause (a new epoch) comes 1 ns before the
// pulse's row.
std::string Summary(const PulseReport& report) {
    std::string summary = FormatUtc(report.unixNanoseconds) + " | " + EventWords(report) + " | ";
    if (report.figures && report.figures->frequencyTenMicroHz) {
        summary += FormatHertz(*report.figures->frequencyTenMicroHz);
    }
    summary += " | " + std::to_string(report.nominalHz) + " | " + report.frequencyText + " |";
    for (const PulseReport::BandEvent& band : report.bandEvents) {
        summary += (band.started ? " +" : " -") + band.excursion.band;
    }
    return summary;
}

// The grid time's view of a record: "UTC | event | frequency | deviation | clock".
std::string GridTimeSummary(const PulseReport& report) {
    std::string summary = FormatUtc(report.unixNanoseconds) + " | " + EventWords(report) + " | ";
    if (report.figures && report.figures->frequencyTenMicroHz) {
        summary += FormatHertz(*report.figures->frequencyTenMicroHz);
    }
    summary += " | ";
    if (report.figures) {
        summary += FormatSignedSeconds(report.figures->gridTimeDeviationUs);
    }
    return summary + " | " + ClockWord(report.clock);
}

// Drives a pipeline through `script` on a virtual clock whose counter reads UTC 2026-12-07
// 00:00:00 at 0; the reference rises the script gives are handed over before the next edge.
std::vector<PulseReport> Play(const std::vector<Step>& script, PipelineSettings settings,
                              bool followsReference = false) {
    testing::VirtualClock clock(kUtcAtZeroNs);
    std::vector<PulseReport> records;
    PulsePipeline pipeline(clock, std::move(settings),
                           [&records](const PulseReport& report) { records.push_back(report); });
    pipeline.StartRun(followsReference);
    int32_t count = 0;
    int64_t last = 0;
    std::vector<int64_t> rises;
    for (const Step& step : script) {
        switch (step.what) {
            case Step::What::kEdge:
                clock.SetTicks(step.atNs);
                pipeline.OnReferenceRises(std::exchange(rises, {}));
                pipeline.OnCountedPulse(
                    CountedPulse{step.atNs, count == 0 ? 0 : step.atNs - last, count, 0, 0,
                                 kGigahertz});
                ++count;
                last = step.atNs;
                break;
            case Step::What::kFigure:
                pipeline.OnDeviceFigure(step.figure);
                break;
            case Step::What::kEvent:
                clock.SetTicks(step.atNs);
                pipeline.Event(EventOfKind(step.event));
                break;
            case Step::What::kClock:
                pipeline.ClockRead(step.clock);
                break;
            case Step::What::kReferenceRise:
                rises.push_back(step.atNs);
                break;
            case Step::What::kAnchor:
                pipeline.AnchorGridTime(step.anchor);
                break;
            case Step::What::kSlew:
                clock.Slew(static_cast<double>(step.atNs));
                break;
        }
    }
    pipeline.EndRun();
    return records;
}

std::vector<std::string> RecordsOf(const std::vector<Step>& script, int nominalHz) {
    std::vector<std::string> records;
    for (const PulseReport& report : Play(script, {nominalHz, {}, std::nullopt})) {
        records.push_back(Summary(report));
    }
    return records;
}

struct Scenario {
    const char* name;
    int nominalHz;  // as the user fixed it; 0 leaves it to the device
    std::vector<Step> script;
    std::vector<std::string> records;
};

class PulsePipelineTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(PulsePipelineTest, MakesTheRecordsTheScriptImplies) {
    const Scenario& s = GetParam();
    EXPECT_EQ(RecordsOf(s.script, s.nominalHz), s.records) << s.name;
}

constexpr int64_t kS = kSecondNs;
constexpr auto kSynchronised = ClockState::Discipline::kSynchronised;
constexpr auto kUnsynchronised = ClockState::Discipline::kUnsynchronised;
constexpr int64_t k4975 = 1'005'025'126;  // a second of a grid at 49.75 Hz

INSTANTIATE_TEST_SUITE_P(
    Scenarios, PulsePipelineTest,
    ::testing::Values(
        Scenario{"the device's first line decides the nominal frequency, and a later one cannot",
                 0,
                 {Figure("50"), Edge(kS), Figure("60"), Edge(2 * kS), Edge(3 * kS)},
                 {"2026-12-07T00:00:00.999999Z | new epoch |  | 50 |  |",
                  "2026-12-07T00:00:01.000000Z | start |  | 50 | 50 |",
                  "2026-12-07T00:00:02.000000Z |  | 50.00000 | 50 | 60 |",
                  "2026-12-07T00:00:03.000000Z |  | 50.00000 | 50 | 60 |"}},
        Scenario{"a line that names no nominal frequency leaves the readings without one",
                 0,
                 {Figure("5x"), Edge(kS), Edge(2 * kS)},
                 {"2026-12-07T00:00:00.999999Z | new epoch |  | 0 |  |",
                  "2026-12-07T00:00:01.000000Z | start |  | 0 | 5x |",
                  "2026-12-07T00:00:02.000000Z |  |  | 0 | 5x |"}},
        Scenario{"the user's nominal frequency holds whatever the device says",
                 60,
                 {Figure("50"), Edge(kS), Edge(2 * kS + 2 * kS / 1000)},
                 {"2026-12-07T00:00:00.999999Z | new epoch |  | 60 |  |",
                  "2026-12-07T00:00:01.000000Z | start |  | 60 | 50 |",
                  "2026-12-07T00:00:02.002000Z |  | 59.88024 | 60 | 50 |"}},
        Scenario{"a glitch is no reading, and the seconds around it read as one",
                 50,
                 {Edge(kS), Edge(2 * kS), Edge(2 * kS + 300'000'000), Edge(3 * kS)},
                 {"2026-12-07T00:00:00.999999Z | new epoch |  | 50 |  |",
                  "2026-12-07T00:00:01.000000Z | start |  | 50 |  |",
                  "2026-12-07T00:00:02.000000Z |  | 50.00000 | 50 |  |",
                  "2026-12-07T00:00:02.300000Z | glitch |  | 50 |  |",
                  "2026-12-07T00:00:03.000000Z |  | 50.00000 | 50 |  |"}},
        Scenario{"a lost pulse is counted in the interval that spans it",
                 50,
                 {Edge(kS), Edge(2 * kS), Edge(4 * kS)},
                 {"2026-12-07T00:00:00.999999Z | new epoch |  | 50 |  |",
                  "2026-12-07T00:00:01.000000Z | start |  | 50 |  |",
                  "2026-12-07T00:00:02.000000Z |  | 50.00000 | 50 |  |",
                  "2026-12-07T00:00:04.000000Z | lost 1 | 50.00000 | 50 |  |"}},
        Scenario{"a second of 51 cycles reads the cycles it held, flagged, and the next goes on",
                 50,
                 {Edge(kS), Edge(2 * kS), Edge(3 * kS), Edge(4 * kS + 20'000'000),
                  Edge(5 * kS + 20'000'000)},
                 {"2026-12-07T00:00:00.999999Z | new epoch |  | 50 |  |",
                  "2026-12-07T00:00:01.000000Z | start |  | 50 |  |",
                  "2026-12-07T00:00:02.000000Z |  | 50.00000 | 50 |  |",
                  "2026-12-07T00:00:03.000000Z |  | 50.00000 | 50 |  |",
                  "2026-12-07T00:00:04.020000Z | cycle slip +1 | 50.00000 | 50 |  |",
                  "2026-12-07T00:00:05.020000Z |  | 50.00000 | 50 |  |"}},
        Scenario{"an edge ahead of the true second is a glitch once the true edge comes, and "
                 "the seconds around it read true",
                 50,
                 {Edge(kS), Edge(2 * kS), Edge(3 * kS), Edge(3 * kS + 970'000'000), Edge(4 * kS),
                  Edge(5 * kS)},
                 {"2026-12-07T00:00:00.999999Z | new epoch |  | 50 |  |",
                  "2026-12-07T00:00:01.000000Z | start |  | 50 |  |",
                  "2026-12-07T00:00:02.000000Z |  | 50.00000 | 50 |  |",
                  "2026-12-07T00:00:03.000000Z |  | 50.00000 | 50 |  |",
                  "2026-12-07T00:00:03.970000Z | glitch |  | 50 |  |",
                  "2026-12-07T00:00:04.000000Z |  | 50.00000 | 50 |  |",
                  "2026-12-07T00:00:05.000000Z |  | 50.00000 | 50 |  |"}},
        Scenario{"an edge after the expected second is counted, and a later rival is a glitch",
                 50,
                 {Edge(kS), Edge(2 * kS), Edge(3 * kS + 1'000'000), Edge(3 * kS + 30'000'000),
                  Edge(4 * kS + 1'000'000)},
                 {"2026-12-07T00:00:00.999999Z | new epoch |  | 50 |  |",
                  "2026-12-07T00:00:01.000000Z | start |  | 50 |  |",
                  "2026-12-07T00:00:02.000000Z |  | 50.00000 | 50 |  |",
                  "2026-12-07T00:00:03.001000Z |  | 49.95005 | 50 |  |",
                  "2026-12-07T00:00:03.030000Z | glitch |  | 50 |  |",
                  "2026-12-07T00:00:04.001000Z |  | 50.00000 | 50 |  |"}},
        Scenario{"an early second that no edge rivals reads as it is, once the next shows none",
                 50,
                 {Edge(kS), Edge(2 * kS), Edge(2 * kS + 990'000'000),
                  Edge(3 * kS + 990'000'000)},
                 {"2026-12-07T00:00:00.999999Z | new epoch |  | 50 |  |",
                  "2026-12-07T00:00:01.000000Z | start |  | 50 |  |",
                  "2026-12-07T00:00:02.000000Z |  | 50.00000 | 50 |  |",
                  "2026-12-07T00:00:02.990000Z |  | 50.50505 | 50 |  |",
                  "2026-12-07T00:00:03.990000Z |  | 50.00000 | 50 |  |"}},
        Scenario{"an event while a second waits for its rival comes after it, in time order",
                 50,
                 {Edge(kS), Edge(2 * kS), Edge(2 * kS + 970'000'000),
                  Happens(RunEvent::Kind::kNoPulses, 2 * kS + 980'000'000), Edge(3 * kS)},
                 {"2026-12-07T00:00:00.999999Z | new epoch |  | 50 |  |",
                  "2026-12-07T00:00:01.000000Z | start |  | 50 |  |",
                  "2026-12-07T00:00:02.000000Z |  | 50.00000 | 50 |  |",
                  "2026-12-07T00:00:02.970000Z | glitch |  | 50 |  |",
                  "2026-12-07T00:00:02.980000Z | no pulses |  | 50 |  |",
                  "2026-12-07T00:00:03.000000Z |  | 50.00000 | 50 |  |"}},
        Scenario{"a waiting second is decided once no edge can rival it",
                 50,
                 {Edge(kS), Edge(2 * kS), Edge(2 * kS + 970'000'000),
                  Happens(RunEvent::Kind::kNoPulses, 4 * kS)},
                 {"2026-12-07T00:00:00.999999Z | new epoch |  | 50 |  |",
                  "2026-12-07T00:00:01.000000Z | start |  | 50 |  |",
                  "2026-12-07T00:00:02.000000Z |  | 50.00000 | 50 |  |",
                  "2026-12-07T00:00:02.970000Z |  | 51.54639 | 50 |  |",
                  "2026-12-07T00:00:04.000000Z | no pulses |  | 50 |  |"}},
        Scenario{"a stop decides a waiting second at once: no edge comes after it",
                 50,
                 {Edge(kS), Edge(2 * kS), Edge(2 * kS + 970'000'000),
                  Happens(RunEvent::Kind::kStop, 2 * kS + 980'000'000)},
                 {"2026-12-07T00:00:00.999999Z | new epoch |  | 50 |  |",
                  "2026-12-07T00:00:01.000000Z | start |  | 50 |  |",
                  "2026-12-07T00:00:02.000000Z |  | 50.00000 | 50 |  |",
                  "2026-12-07T00:00:02.970000Z |  | 51.54639 | 50 |  |",
                  "2026-12-07T00:00:02.980000Z | stop |  | 50 |  |"}},
        Scenario{"the run's events come at the clock's UTC time, between the pulses",
                 50,
                 {Edge(kS), Happens(RunEvent::Kind::kDeviceLost, kS + kS / 2),
                  Happens(RunEvent::Kind::kStop, 2 * kS)},
                 {"2026-12-07T00:00:00.999999Z | new epoch |  | 50 |  |",
                  "2026-12-07T00:00:01.000000Z | start |  | 50 |  |",
                  "2026-12-07T00:00:01.500000Z | device lost |  | 50 |  |",
                  "2026-12-07T00:00:02.000000Z | stop |  | 50 |  |"}},
        Scenario{"a clock whose state changes says so once, with its new word",
                 50,
                 {ClockIs(ClockState::Discipline::kUnsynchronised),
                  ClockIs(ClockState::Discipline::kUnsynchronised),
                  ClockIs(ClockState::Discipline::kSynchronised)},
                 {"2026-12-07T00:00:00.000000Z | clock synchronised |  | 50 |  |"}},
        Scenario{"a grid 75 mHz low leaves the standard range on its second reading, and comes "
                 "back on the second back inside",
                 50,
                 {Edge(kS), Edge(2 * kS + 1'502'253), Edge(3 * kS + 3'004'506),
                  Edge(4 * kS + 3'004'506), Edge(5 * kS + 3'004'506)},
                 {"2026-12-07T00:00:00.999999Z | new epoch |  | 50 |  |",
                  "2026-12-07T00:00:01.000000Z | start |  | 50 |  |",
                  "2026-12-07T00:00:02.001502Z |  | 49.92500 | 50 |  |",
                  "2026-12-07T00:00:03.003004Z |  | 49.92500 | 50 |  | +standard range",
                  "2026-12-07T00:00:04.003004Z |  | 50.00000 | 50 |  |",
                  "2026-12-07T00:00:05.003004Z |  | 50.00000 | 50 |  | -standard range"}},
        Scenario{"three readings of 49.75 Hz leave the full reserve's band as well, and two back "
                 "at 50 Hz end both",
                 50,
                 {Edge(kS), Edge(kS + k4975), Edge(kS + 2 * k4975), Edge(kS + 3 * k4975),
                  Edge(2 * kS + 3 * k4975), Edge(3 * kS + 3 * k4975)},
                 {"2026-12-07T00:00:00.999999Z | new epoch |  | 50 |  |",
                  "2026-12-07T00:00:01.000000Z | start |  | 50 |  |",
                  "2026-12-07T00:00:02.005025Z |  | 49.75000 | 50 |  |",
                  "2026-12-07T00:00:03.010050Z |  | 49.75000 | 50 |  | +standard range "
                  "+full reserve activation",
                  "2026-12-07T00:00:04.015075Z |  | 49.75000 | 50 |  |",
                  "2026-12-07T00:00:05.015075Z |  | 50.00000 | 50 |  |",
                  "2026-12-07T00:00:06.015075Z |  | 50.00000 | 50 |  | -standard range "
                  "-full reserve activation"}}));

// A contact that bounces for 3.5 s from 0.9 s after a true second, rising every `everyNs`
// (a bounce 250 us off any true second), among the true seconds of a steady 50 Hz grid: each
// true second reads 50 Hz, every bounce is a glitch, and no band nor rate of change is left.
TEST(PulsePipelineTest, ABouncingContactLeavesTheTrueSecondsTheirReadings) {
    for (const int64_t everyNs : {2'000'000, 1'000'000, 333'333}) {
        std::vector<int64_t> edges;
        for (int64_t t = 3 * kS + 900'000'000 + 250'000; t < 7 * kS + 400'000'000; t += everyNs) {
            edges.push_back(t);
        }
        const size_t bounces = edges.size();
        for (int64_t second = 1; second <= 9; ++second) {
            edges.push_back(second * kS);
        }
        std::sort(edges.begin(), edges.end());
        std::vector<Step> script;
        for (const int64_t edge : edges) {
            script.push_back(Edge(edge));
        }
        size_t glitches = 0;
        std::vector<int64_t> readAtNs;
        for (const PulseReport& record : Play(script, {50, {}, std::nullopt})) {
            EXPECT_TRUE(record.bandEvents.empty()) << everyNs << " at " << record.unixNanoseconds;
            glitches += record.event.kind == RunEvent::Kind::kGlitch ? 1 : 0;
            if (record.figures && record.figures->frequencyTenMicroHz) {
                EXPECT_EQ(*record.figures->frequencyTenMicroHz, 5'000'000) << everyNs;
                readAtNs.push_back(record.unixNanoseconds - kUtcAtZeroNs);
            }
        }
        EXPECT_EQ(glitches, bounces) << everyNs;
        EXPECT_EQ(readAtNs, (std::vector<int64_t>{2 * kS, 3 * kS, 4 * kS, 5 * kS, 6 * kS,
                                                  7 * kS, 8 * kS, 9 * kS}))
            << everyNs;
    }
}

// Timestamps jittered by +-`jitterNs` in turn, on a clock whose daemon states `rateErrorPpm`:
// a one-second frequency's uncertainty is the nominal times the two timestamps' scatter and
// the rate error combined, the scatter told by successive seconds' differences (six times the
// timestamps' variance; their s.d. 1.4826 times their median absolute deviation), once sixteen
// of them are in.
TEST(PulsePipelineTest, EachFrequencyCarriesTheUncertaintyItsTimestampsAndClockMake) {
    const struct {
        int64_t jitterNs;
        double rateErrorPpm;
    } cases[] = {{20'000, 0.021}, {0, 1.0}, {90'000, 20.0}};
    for (const auto& c : cases) {
        ClockState clock;
        clock.discipline = kSynchronised;
        clock.rateErrorPpm = c.rateErrorPpm;
        std::vector<Step> script{{Step::What::kClock, 0, "", RunEvent::Kind::kNone, clock, {}}};
        // Each edge moved by its share of the jitter.
        constexpr double kShares[] = {0.3, -0.9, 0.1, 0.7, -0.4, -1.0, 0.8, 0.0, -0.6, 0.5,
                                      -0.2, 0.9, -0.7, 0.4, -0.3, 1.0, -0.8, 0.2, 0.6, -0.5};
        std::vector<int64_t> edges;
        for (int k = 1; k <= 20; ++k) {
            edges.push_back(k * kS + std::llround(c.jitterNs * kShares[k - 1]));
            script.push_back(Edge(edges.back()));
        }
        std::vector<double> differences;  // from the third edge: the first is the reference
        for (size_t k = 2; k < edges.size(); ++k) {
            differences.push_back(
                static_cast<double>((edges[k] - edges[k - 1]) - (edges[k - 1] - edges[k - 2])) /
                1e9);
        }
        const auto median = [](std::vector<double> values) {
            std::sort(values.begin(), values.end());
            return values[values.size() / 2];
        };
        const double middle = median(differences);
        for (double& difference : differences) {
            difference = std::abs(difference - middle);
        }
        const double sigma = 1.4826 * median(differences) / std::sqrt(6.0);
        const double expectedHz = 50 * std::hypot(std::sqrt(2.0) * sigma, c.rateErrorPpm * 1e-6);
        const std::vector<PulseReport> records = Play(script, {50, {}, std::nullopt});
        const PulseReport& last = records.back();
        ASSERT_TRUE(last.uncertainty) << c.jitterNs;
        EXPECT_NEAR(last.uncertainty->frequencyHz, expectedHz, expectedHz * 1e-9) << c.jitterNs;
        // The 17th edge's interval makes the 15th difference, too few; the 18th's the 16th.
        for (const PulseReport& record : records) {
            if (record.pulse && (record.pulse->count == 16 || record.pulse->count == 17)) {
                EXPECT_EQ(record.uncertainty.has_value(), record.pulse->count == 17)
                    << c.jitterNs;
            }
        }
    }
}

// Twenty steady seconds, then a slew of `ppm` for the last two: the readings it moves carry its
// rate in their uncertainty (nominal x rate, beside what they had), and are flagged.
TEST(PulsePipelineTest, ASlewsRateIsInTheUncertaintyOfTheReadingsItMoves) {
    for (const double ppm : {100.0, 500.0, -5000.0}) {
        std::vector<Step> steady{ClockIs(kSynchronised)};
        for (int k = 1; k <= 20; ++k) {
            steady.push_back(Edge(k * kS));
        }
        std::vector<Step> slewed = steady;
        slewed.push_back(Slew(static_cast<int64_t>(ppm)));
        slewed.push_back(Edge(21 * kS + std::llround(ppm * 1000)));
        steady.push_back(Edge(21 * kS));
        const PulseReport calm = Play(steady, {50, {}, std::nullopt}).back();
        const PulseReport moved = Play(slewed, {50, {}, std::nullopt}).back();
        ASSERT_TRUE(calm.uncertainty && moved.uncertainty) << ppm;
        const double expected = std::hypot(calm.uncertainty->frequencyHz, 50 * ppm * 1e-6);
        EXPECT_NEAR(moved.uncertainty->frequencyHz, expected, expected * 1e-6) << ppm;
        EXPECT_TRUE(moved.clock.slewing) << ppm;
        EXPECT_FALSE(calm.clock.slewing) << ppm;
    }
}

struct GridTimeScenario {
    const char* name;
    std::optional<EpochState> stored;  // what an earlier run left
    bool followsReference;
    std::vector<Step> script;
    std::vector<std::string> records;
};

class GridTimeTest : public ::testing::TestWithParam<GridTimeScenario> {};

TEST_P(GridTimeTest, GoesOnOrStartsAgainAsTheScriptImplies) {
    const GridTimeScenario& s = GetParam();
    std::vector<std::string> records;
    for (const PulseReport& report :
         Play(s.script, {50, {}, s.stored}, s.followsReference)) {
        records.push_back(GridTimeSummary(report));
    }
    EXPECT_EQ(records, s.records) << s.name;
}

// The last pulse of an earlier run, `beforeNs` before this run's first edge at 1 s, 12.345 ms
// ahead, at a mean of exactly 50 Hz.
EpochState EarlierRun(int64_t beforeNs) {
    return {kUtcAtZeroNs - 3600 * kS, kUtcAtZeroNs + kS - beforeNs, 12'345, 50.0, 50, 0};
}

constexpr int64_t kT = 1'000'020'000;  // a reference second on a counter 20 ppm fast

// Edges every reference second from 1 to `last`, each after a reference rise half a second
// before it while `risesUntil` lasts.
std::vector<Step> ReferenceScript(int last, int risesUntil) {
    std::vector<Step> script{ClockIs(kSynchronised)};
    for (int k = 1; k <= last; ++k) {
        if (k <= risesUntil) {
            script.push_back(ReferenceRise(k * kT - kT / 2));
        }
        script.push_back(Edge(k * kT));
    }
    return script;
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, GridTimeTest,
    ::testing::Values(
        GridTimeScenario{
            "a restart 30 s after a synchronised epoch's last pulse goes on from its deviation",
            EarlierRun(30 * kS),
            false,
            {ClockIs(kSynchronised), Edge(kS), Edge(2 * kS), Edge(3 * kS - kS / 1000)},
            {"2026-12-07T00:00:00.999999Z | bridged 30 s |  |  | synchronised",
             "2026-12-07T00:00:01.000000Z | start |  | +0.012345 | synchronised",
             "2026-12-07T00:00:02.000000Z |  | 50.00000 | +0.012345 | synchronised",
             "2026-12-07T00:00:02.999000Z |  | 50.05005 | +0.013345 | synchronised"}},
        GridTimeScenario{
            "a restart on an unsynchronised clock cannot trust its UTC across the gap",
            EarlierRun(30 * kS),
            false,
            {ClockIs(kUnsynchronised), Edge(kS), Edge(2 * kS)},
            {"2026-12-07T00:00:00.999999Z | new epoch: the clock is not synchronised |  |  | "
             "unsynchronised",
             "2026-12-07T00:00:01.000000Z | start |  | +0.000000 | unsynchronised",
             "2026-12-07T00:00:02.000000Z |  | 50.00000 | +0.000000 | unsynchronised"}},
        GridTimeScenario{
            "a device whose count began again comes back at another fraction of a second",
            EarlierRun(9 * kS + 492'700'000),
            false,
            {ClockIs(kSynchronised), Edge(kS), Edge(2 * kS)},
            {"2026-12-07T00:00:00.999999Z | new epoch: the device's count did not carry on "
             "over a gap of 9 s |  |  | synchronised",
             "2026-12-07T00:00:01.000000Z | start |  | +0.000000 | synchronised",
             "2026-12-07T00:00:02.000000Z |  | 50.00000 | +0.000000 | synchronised"}},
        GridTimeScenario{
            "an hour away is too long to count the seconds the device counted",
            EarlierRun(3600 * kS),
            false,
            {ClockIs(kSynchronised), Edge(kS)},
            {"2026-12-07T00:00:00.999999Z | new epoch: a gap of 3600 s is too long to count its "
             "seconds |  |  | synchronised",
             "2026-12-07T00:00:01.000000Z | start |  | +0.000000 | synchronised"}},
        GridTimeScenario{
            "a slew of 100 ppm marks the very first reading it moves, and the first it leaves",
            std::nullopt,
            false,
            {ClockIs(kSynchronised), Edge(kS), Edge(2 * kS), Edge(3 * kS), Slew(100),
             Edge(4 * kS + 100'000), Edge(5 * kS + 200'000), Slew(0), Edge(6 * kS + 200'000),
             ClockIs(kSynchronised), Edge(7 * kS + 200'000)},
            {"2026-12-07T00:00:00.999999Z | new epoch |  |  | synchronised",
             "2026-12-07T00:00:01.000000Z | start |  | +0.000000 | synchronised",
             "2026-12-07T00:00:02.000000Z |  | 50.00000 | +0.000000 | synchronised",
             "2026-12-07T00:00:03.000000Z |  | 50.00000 | +0.000000 | synchronised",
             "2026-12-07T00:00:04.000099Z | clock slewing |  |  | slewing",
             "2026-12-07T00:00:04.000100Z |  | 49.99500 | -0.000100 | slewing",
             "2026-12-07T00:00:05.000200Z |  | 49.99500 | -0.000200 | slewing",
             "2026-12-07T00:00:06.000199Z | clock synchronised |  |  | synchronised",
             "2026-12-07T00:00:06.000200Z |  | 50.00000 | -0.000200 | synchronised",
             "2026-12-07T00:00:07.000200Z |  | 50.00000 | -0.000200 | synchronised"}},
        GridTimeScenario{
            "the operator's figure moves the deviation at the first pulse after its moment",
            std::nullopt,
            false,
            {ClockIs(kSynchronised), Anchor(-2'500'000, kUtcAtZeroNs + 2 * kS + kS / 2), Edge(kS),
             Edge(2 * kS), Edge(3 * kS), Edge(4 * kS)},
            {"2026-12-07T00:00:00.999999Z | new epoch |  |  | synchronised",
             "2026-12-07T00:00:01.000000Z | start |  | +0.000000 | synchronised",
             "2026-12-07T00:00:02.000000Z |  | 50.00000 | +0.000000 | synchronised",
             "2026-12-07T00:00:02.999999Z | grid time anchored: -2.500000 s at "
             "2026-12-07T00:00:02.500000Z; moved by -2.500000 s |  |  | synchronised",
             "2026-12-07T00:00:03.000000Z |  | 50.00000 | -2.500000 | synchronised",
             "2026-12-07T00:00:04.000000Z |  | 50.00000 | -2.500000 | synchronised"}},
        GridTimeScenario{
            "a reference second 20 ppm longer than the counter's measures the seconds once "
            "eight of its rises are in, without a jump, until it is quiet for more than 2.5 s",
            std::nullopt,
            true,
            ReferenceScript(13, 10),
            {"2026-12-07T00:00:01.000019Z | new epoch |  |  | synchronised",
             "2026-12-07T00:00:01.000020Z | start |  | +0.000000 | synchronised",
             "2026-12-07T00:00:02.000040Z |  | 49.99900 | -0.000020 | synchronised",
             "2026-12-07T00:00:03.000060Z |  | 49.99900 | -0.000040 | synchronised",
             "2026-12-07T00:00:04.000080Z |  | 49.99900 | -0.000060 | synchronised",
             "2026-12-07T00:00:05.000100Z |  | 49.99900 | -0.000080 | synchronised",
             "2026-12-07T00:00:06.000120Z |  | 49.99900 | -0.000100 | synchronised",
             "2026-12-07T00:00:07.000140Z |  | 49.99900 | -0.000120 | synchronised",
             "2026-12-07T00:00:08.000159Z | reference on |  |  | reference",
             "2026-12-07T00:00:08.000160Z |  | 50.00000 | -0.000120 | reference",
             "2026-12-07T00:00:09.000180Z |  | 50.00000 | -0.000120 | reference",
             "2026-12-07T00:00:10.000200Z |  | 50.00000 | -0.000120 | reference",
             "2026-12-07T00:00:11.000220Z |  | 50.00000 | -0.000120 | reference",
             "2026-12-07T00:00:12.000240Z |  | 50.00000 | -0.000120 | reference",
             "2026-12-07T00:00:13.000259Z | reference lost |  |  | synchronised",
             "2026-12-07T00:00:13.000260Z |  | 49.99900 | -0.000140 | synchronised"}}));

}  // namespace
}  // namespace cyclara::logger
