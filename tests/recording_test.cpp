// A recording of any form reads as the seconds a replay plays: their times as the file gives
// them, and the intervals measured, or implied by each second's frequency.
#include "record/recording.h"

#include "tests/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace cyclara {

void PrintTo(const RecordedSecond& s, std::ostream* out) {
    *out << "{" << s.unixNs << ", " << s.intervalNs << ", " << s.glitch << "}";
}

namespace {

constexpr int64_t kMidnightNs = 1'796'601'600'000'000'000;  // 2026-12-07T00:00:00Z
constexpr int64_t kS = 1'000'000'000;

struct Case {
    const char* name;
    const char* text;
    int nominalHz;  // the caller's; 0 takes the recording's
    Recording::Form form;
    int decidedHz;
    std::vector<RecordedSecond> seconds;
};

class RecordingTest : public ::testing::TestWithParam<Case> {};

TEST_P(RecordingTest, ReadsAsTheSecondsAReplayPlays) {
    const Case& c = GetParam();
    testing::TempFolder folder;
    const std::string path = folder.WithSeparator() + "recording.csv";
    std::ofstream(path, std::ios::binary) << c.text;
    std::string whyNot;
    const std::optional<Recording> recording = ReadRecording(path, c.nominalHz, whyNot);
    ASSERT_TRUE(recording) << c.name << ": " << whyNot;
    EXPECT_EQ(recording->form, c.form) << c.name;
    EXPECT_EQ(recording->nominalHz, c.decidedHz) << c.name;
    EXPECT_EQ(recording->seconds, c.seconds) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RecordingTest,
    ::testing::Values(
        Case{"this program's record: its intervals as measured, a glitch kept as one, and a "
             "device lost ending the stretch until the next start",
             "utc,seconds,interval_us,frequency_hz,mean_frequency_hz,grid_time_deviation_s,"
             "event,frequency_uncertainty_hz,clock,nominal_hz,layout\n"
             "2026-12-07T00:00:01.000000Z,0,,,,+0.000000,start,,synchronised,60,3\n"
             "2026-12-07T00:00:02.000500Z,1,1000500.000,59.97001,59.97001,-0.000500,,,"
             "synchronised,60,3\n"
             "2026-12-07T00:00:02.300000Z,1,299500.000,,59.97001,-0.000500,glitch,,"
             "synchronised,60,3\n"
             "2026-12-07T00:00:04.000500Z,3,2000000.000,60.00000,59.99000,-0.000500,lost 1,,"
             "synchronised,60,3\n"
             "2026-12-07T00:00:04.100000Z,,,,,,device lost,,synchronised,60,3\n"
             "2026-12-07T00:00:09.000000Z,0,,,,+0.000000,start,,synchronised,60,3\n",
             0,
             Recording::Form::kRecord,
             60,
             {{kMidnightNs + kS, 0, false},
              {kMidnightNs + 2 * kS + 500'000, 1'000'500'000, false},
              {kMidnightNs + 2 * kS + 300'000'000, 299'500'000, true},
              {kMidnightNs + 4 * kS + 500'000, 2'000'000'000, false},
              {kMidnightNs + 9 * kS, 0, false}}},
        Case{"the power-grid-frequency database's one-second deviations in mHz, a gap of 2 s "
             "starting again",
             "2026-12-07 00:00:00,-20\n2026-12-07 00:00:01,40\n2026-12-07 00:00:03,0\n",
             0,
             Recording::Form::kDeviationMillihertz,
             50,
             {{kMidnightNs, 0, false},
              {kMidnightNs + kS, 999'200'639, false},
              {kMidnightNs + 3 * kS, 0, false}}},
        Case{"an operator's time,hertz file with a header, in Unix seconds, at 60 Hz",
             "time;hertz\n1796601600;60.000\n1796601601;59.940\n",
             0,
             Recording::Form::kHertz,
             60,
             {{kMidnightNs, 0, false}, {kMidnightNs + kS, 1'001'001'001, false}}},
        Case{"deviations the caller says are from 60 Hz",
             "2026-12-07T00:00:00Z\t0\n2026-12-07T00:00:01Z\t-60\n",
             60,
             Recording::Form::kDeviationMillihertz,
             60,
             {{kMidnightNs, 0, false}, {kMidnightNs + kS, 1'001'001'001, false}}}));

TEST(RecordingTest, WhatIsNoRecordingIsSaidWithItsFileAndLine) {
    const struct {
        const char* text;
        const char* said;
    } cases[] = {
        {"2026-12-07 00:00:00,50.0\nnoon,50.1\n", "line 2 is no \"time,value\" line"},
        {"2026-12-07 00:00:01,50.0\n2026-12-07 00:00:00,50.1\n", "line 2: times must rise"},
        {"time,hertz\n", "holds no reading"},
    };
    for (const auto& c : cases) {
        testing::TempFolder folder;
        const std::string path = folder.WithSeparator() + "recording.csv";
        std::ofstream(path, std::ios::binary) << c.text;
        std::string whyNot;
        EXPECT_FALSE(ReadRecording(path, 0, whyNot)) << c.text;
        EXPECT_NE(whyNot.find(path), std::string::npos) << whyNot;
        EXPECT_NE(whyNot.find(c.said), std::string::npos) << whyNot;
    }
}

}  // namespace
}  // namespace cyclara
