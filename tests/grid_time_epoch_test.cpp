#include "grid/grid_time_epoch.h"
#include "logger/epoch/anchor_file.h"
#include "logger/epoch/epoch_file.h"
#include "record/record_layout.h"
#include "measure/time_spans.h"
#include "tests/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <cstdint>
#include <optional>

namespace cyclara::logger {
namespace {

std::string WordsOf(const RunEvent& event) {
    PulseReport report;
    report.event = event;
    return EventWords(report);
}

// A run's reference pulse after a gap of `pulses` seconds the device counted, against a grid
// that ran at `gapHz` through it: what the epoch says and the deviation it goes on from.
struct Gap {
    const char* name;
    double pulses;
    double gapHz;
    ClockState::Discipline clock;
    const char* event;
    bool continues;
    double wanderHz = GridTimeEpoch::kDefaultWanderHz;  // the grid's
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
        // Its pulses come at any fraction of a second: 0.4927 s off the prediction, where the
        // gap allows 0.036 s and the clocks 0.01 s.
        {"9 s, the device's count begun again", 9.4927, 50.1, synchronised,
         "new epoch: the device's count did not carry on over a gap of 9 s", false},
        // 90 s at 49.8 Hz count 90 seconds where the mean before predicts 90.54.
        {"90 s, the grid 0.3 Hz below its mean", 90, 49.8, synchronised,
         "new epoch: the device's count did not carry on over a gap of 90 s", false},
        {"a minute on a grid that may wander 0.5 Hz", 60, 50.1, synchronised,
         "new epoch: a gap of 60 s is too long to count its seconds", false, 0.5},
        {"30 s on it", 30, 50.1, synchronised, "bridged 30 s", true, 0.5},
    };
    for (const Gap& gap : gaps) {
        // The last pulse before the gap: 12.345 ms ahead, at a mean of 50.1 Hz, on a deviation
        // the operator anchored at 500 s.
        const EpochState before{0, 1000 * kSecondNs, 12'345, 50.1, 50, 500 * kSecondNs};
        GridTimeEpoch epoch(before);
        epoch.AllowWander(gap.wanderHz);
        const double counted = gap.pulses;
        const double trueSeconds = counted * 50 / gap.gapHz;
        PulseReport reference;
        reference.unixNanoseconds = before.lastUnixNs + std::llround(trueSeconds * 1e9);
        reference.figures = PulseFigures{};
        reference.event = EventOfKind(RunEvent::Kind::kStart);
        reference.clock.discipline = gap.clock;
        EXPECT_EQ(WordsOf(epoch.Apply(reference)), gap.event) << gap.name;
        const int64_t truth = before.lastDeviationUs + std::llround((counted - trueSeconds) * 1e6);
        EXPECT_EQ(reference.figures->gridTimeDeviationUs, gap.continues ? truth : 0) << gap.name;
        EXPECT_EQ(reference.gridTimeSinceNs, gap.continues ? 0 : reference.unixNanoseconds)
            << gap.name;
        EXPECT_EQ(reference.gridTimeAnchoredNs, gap.continues ? before.anchoredUnixNs : 0)
            << gap.name;
    }
}

// What a run finds kept in its record folder, and what it says and leaves of it.
TEST(GridTimeEpochTest, AKeptEpochThatCannotBeReadIsSaidAndMovedAside) {
    const EpochState good{0, 1000 * kSecondNs, 12'345, 50.1, 50, 0};
    const struct {
        const char* name;
        std::optional<std::string> text;  // none: a folder in its place
        bool read;
        const char* said;  // in the damage, "" for none
        bool movedAside;
    } cases[] = {
        {"none kept", "", false, "", false},
        {"a whole epoch", "", true, "", false},
        {"an empty file", "", false, "cannot be read", true},
        {"garbage", "\x89PNG\r\n", false, "cannot be read", true},
        {"cut short", "# cyclara grid time epoch 1\nsince_unix_ns=0\nlast_unix", false,
         "cannot be read", true},
        {"a folder in its place", std::nullopt, false, "is not a file", false},
    };
    for (const auto& c : cases) {
        testing::TempFolder folder;
        const std::string path = folder.WithSeparator() + kEpochFileName;
        if (c.read) {
            ASSERT_TRUE(WriteEpochFile(folder.Path().string(), good));
        } else if (!c.text) {
            std::filesystem::create_directory(path);
        } else if (std::string(c.name) != "none kept") {
            std::ofstream(path, std::ios::binary) << *c.text;
        }
        const KeptEpoch kept = TakeKeptEpoch(folder.Path().string());
        EXPECT_EQ(kept.state.has_value(), c.read) << c.name;
        EXPECT_EQ(kept.damage.empty(), std::string(c.said).empty()) << c.name;
        EXPECT_NE(kept.damage.find(c.said), std::string::npos) << c.name << ": " << kept.damage;
        EXPECT_NE(kept.damage.find(c.said[0] ? kEpochFileName : ""), std::string::npos) << c.name;
        EXPECT_EQ(std::filesystem::exists(path + ".damaged"), c.movedAside) << c.name;
    }
    // The first new epoch says why it is new; a later one does not say it again.
    GridTimeEpoch epoch(std::nullopt, true);
    PulseReport start;
    start.figures = PulseFigures{};
    start.event = EventOfKind(RunEvent::Kind::kStart);
    EXPECT_EQ(WordsOf(epoch.Apply(start)), "new epoch: the kept epoch could not be read");
    EXPECT_EQ(WordsOf(epoch.Apply(start)), "new epoch");
}

TEST(GridTimeAnchorTest, ReadsSecondsAtAUtcMoment) {
    const struct {
        const char* text;
        std::optional<GridTimeAnchor> anchor;
    } cases[] = {
        {"-12.345@2026-12-08T14:00:00Z", GridTimeAnchor{-12'345'000, 1'796'738'400 * kSecondNs}},
        {"+0.5@2026-12-08T14:00:00.250000Z",
         GridTimeAnchor{500'000, 1'796'738'400 * kSecondNs + 250'000'000}},
        {"12.345", std::nullopt},
        {"x@2026-12-08T14:00:00Z", std::nullopt},
        {"1@2026-13-08T14:00:00Z", std::nullopt},
        {"1@2026-12-08 14:00:00", std::nullopt},
        {"nan@2026-12-08T14:00:00Z", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseGridTimeAnchor(c.text), c.anchor) << c.text;
    }
}

// Ten counted pulses a second apart from t0, ours running 1 ms a second behind, with the
// operator's figure at `anchorAfterNs` after t0.
struct AnchorCase {
    const char* name;
    int64_t anchorAfterNs;
    const char* event;  // at the first pulse that says anything
    int64_t lastDeviationUs;
};

TEST(GridTimeAnchorTest, MovesTheDeviationToTheOperatorsFigureAtItsMoment) {
    const int64_t t0 = 1000 * kSecondNs;
    const AnchorCase cases[] = {
        {"between two pulses", 2'500'000'000,
         "grid time anchored: +3.000000 s at 1970-01-01T00:16:42.500000Z; moved by +3.002500 s",
         3'000'000 - 6'500},
        {"in the future", 7 * kSecondNs,
         "grid time anchored: +3.000000 s at 1970-01-01T00:16:47.000000Z; moved by +3.007000 s",
         3'000'000 - 2'000},
        {"before the epoch's first pulse", -kSecondNs,
         "grid time anchor refused: 1970-01-01T00:16:39.000000Z lies before the oldest "
         "reading held (1970-01-01T00:16:40.000000Z; an hour of this epoch at most)",
         -9'000},
    };
    for (const AnchorCase& c : cases) {
        GridTimeEpoch epoch(EpochState{t0, t0, 0, 50.0, 50, 0});
        epoch.Anchor(GridTimeAnchor{3'000'000, t0 + c.anchorAfterNs});
        std::string said;
        int64_t deviation = 0, anchored = 0;
        for (int second = 0; second < 10; ++second) {
            PulseReport pulse;
            pulse.unixNanoseconds = t0 + second * kSecondNs;
            pulse.figures = PulseFigures{};
            pulse.figures->kind = PulseFigures::Kind::kMeasured;
            pulse.figures->gridTimeDeviationUs = -1000 * second;
            epoch.Apply(pulse);
            const std::string event = WordsOf(epoch.ApplyAnchor(pulse));
            said = said.empty() ? event : said;
            deviation = pulse.figures->gridTimeDeviationUs;
            anchored = pulse.gridTimeAnchoredNs;
        }
        EXPECT_EQ(said, c.event) << c.name;
        EXPECT_EQ(deviation, c.lastDeviationUs) << c.name;
        EXPECT_EQ(epoch.State()->lastDeviationUs, deviation) << c.name;
        // Every later figure says it was anchored there, also after a restart.
        const bool applied = said.rfind("grid time anchored", 0) == 0;
        EXPECT_EQ(anchored, applied ? t0 + c.anchorAfterNs : 0) << c.name;
        testing::TempFolder folder;
        ASSERT_TRUE(WriteEpochFile(folder.Path().string(), *epoch.State()));
        EXPECT_EQ(ReadEpochFile(folder.Path().string())->anchoredUnixNs, anchored) << c.name;
    }
}

}  // namespace
}  // namespace cyclara::logger
