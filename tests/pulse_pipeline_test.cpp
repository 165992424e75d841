// The pipeline driven by a script of edges, lines and events on a virtual clock: every record
// it makes is checked exactly against what the script implies.
#include "grid/pulse_pipeline.h"
#include "record/record_layout.h"
#include "measure/time_spans.h"
#include "measure/wall_clock.h"
#include "tests/virtual_clock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cyclara::logger {
namespace {

constexpr int64_t kUtcAtZeroNs = 1'796'601'600 * kSecondNs;  // 2026-12-07T00:00:00Z

struct Step {
    enum class What { kEdge, kFigure, kEvent, kClock };
    What what;
    int64_t atNs = 0;  // the edge's counter, or when the event happens
    std::string figure;
    RunEvent::Kind event = RunEvent::Kind::kNone;
    ClockState::Discipline discipline = ClockState::Discipline::kSynchronised;
};

Step Edge(int64_t atNs) {
    return {Step::What::kEdge, atNs, "", RunEvent::Kind::kNone};
}
Step Figure(const char* figure) {
    return {Step::What::kFigure, 0, figure};
}
Step Happens(RunEvent::Kind kind, int64_t atNs) {
    return {Step::What::kEvent, atNs, "", kind};
}
Step ClockIs(ClockState::Discipline discipline) {
    return {Step::What::kClock, 0, "", RunEvent::Kind::kNone, discipline};
}

// One record as "UTC | event | frequency | nominal | the device's line | bands started(+) or
// ended(-)". An event
// the pulse's own figures cause (a new epoch) comes 1 ns before the pulse's row.
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

std::vector<std::string> RecordsOf(const std::vector<Step>& script, int nominalHz) {
    testing::VirtualClock clock(kUtcAtZeroNs);
    std::vector<std::string> records;
    PulsePipeline pipeline(clock, {nominalHz, {}, std::nullopt},
                           [&records](const PulseReport& report) {
                               records.push_back(Summary(report));
                           });
    pipeline.StartRun(false);
    int32_t count = 0;
    int64_t last = 0;
    for (const Step& step : script) {
        switch (step.what) {
            case Step::What::kEdge:
                clock.SetTicks(step.atNs);
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
                ClockState state;
                state.discipline = step.discipline;
                pipeline.ClockRead(state);
                break;
        }
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
                  "2026-12-07T00:00:05.003004Z |  | 50.00000 | 50 |  | -standard range"}}));

}  // namespace
}  // namespace cyclara::logger
