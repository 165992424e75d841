#include "measure/pulse_state.h"
#include "measure/measurement_log.h"
#include "tests/recording_display.h"
#include "tests/temp_folder.h"

#include <gtest/gtest.h>

#include <optional>

namespace cyclara::testing {
namespace {

constexpr int64_t kNtscFrequency = 3'579'545;
constexpr int64_t kFirstReading = 1'000'000;
constexpr LocalTime kFixedTime{2024, 1, 5, 9, 13, 9};

// The three timing fields a pulse wrote, or nothing when it wrote none.
struct Shown {
    std::string elapsed;
    std::string width;
    std::string difference;
    bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const std::optional<Shown>& shown) {
    if (!shown) {
        return out << "(no field)";
    }
    return out << '"' << shown->elapsed << "\" \"" << shown->width << "\" \"" << shown->difference
               << '"';
}

// A pulse measurement writing to a recording display and to a real log in a fresh folder.
class PulseHarness {
  public:
    explicit PulseHarness(int64_t frequency)
        : m_log([] { return kFixedTime; }, {[this] { return m_folder.WithSeparator(); }}),
          m_pulses(m_display, m_log) {
        m_log.WriteLog(kLogCreate, 0, 0, 0, 0, 0);
        m_pulses.Reset(frequency);
    }

    // Feeds a pulse after each of `intervals`, the very first pulse at kFirstReading; returns
    // what each pulse showed.
    std::vector<std::optional<Shown>> Feed(const std::vector<int64_t>& intervals) {
        std::vector<std::optional<Shown>> shown;
        if (!m_fedFirst) {
            m_fedFirst = true;
            shown.push_back(Pulse(m_reading));
        }
        for (int64_t interval : intervals) {
            m_reading += interval;
            shown.push_back(Pulse(m_reading));
        }
        return shown;
    }

    std::optional<Shown> Pulse(int64_t reading) {
        m_pulses.OnDsrOn(reading);
        const std::vector<DisplayUpdate> updates = m_display.Take();
        EXPECT_EQ(updates.front(), (DisplayUpdate{IDC_LED, "lit"})) << "the lamp lights first";
        if (updates.size() == 1) {
            return std::nullopt;
        }
        EXPECT_EQ(updates.size(), 4u);
        return Shown{updates.at(1).text, updates.at(2).text, updates.at(3).text};
    }

    const std::string& LogPath() const { return m_log.Path(); }

    RecordingDisplay& Display() { return m_display; }
    PulseState& Pulses() { return m_pulses; }

  private:
    TempFolder m_folder;
    RecordingDisplay m_display;
    MeasurementLog m_log;
    PulseState m_pulses;
    int64_t m_reading = kFirstReading;
    bool m_fedFirst = false;
};

std::vector<int64_t> Repeat(int64_t interval, size_t count) {
    return std::vector<int64_t>(count, interval);
}

struct SequenceCase {
    const char* name;
    int64_t frequency;
    std::vector<int64_t> intervals;  // between consecutive pulses, the first pulse at 1,000,000
    size_t pulse;                    // 1-based pulse whose fields are checked
    Shown expected;
};

void PrintTo(const SequenceCase& c, std::ostream* out) {
    *out << c.name;
}

class PulseSequenceTest : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(PulseSequenceTest, ShowsExactDigits) {
    const SequenceCase& c = GetParam();
    PulseHarness harness(c.frequency);
    const auto shown = harness.Feed(c.intervals);
    ASSERT_GE(shown.size(), c.pulse);
    EXPECT_EQ(shown[c.pulse - 1], std::optional<Shown>(c.expected));
}

std::vector<int64_t> Concat(std::vector<int64_t> a, const std::vector<int64_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Digits, PulseSequenceTest,
    ::testing::Values(
        SequenceCase{"SlowFirst",
                     kNtscFrequency,
                     Repeat(3'579'581, 4),
                     4,
                     {"    0:00:01", "1000010", "+10"}},
        SequenceCase{"SlowSecond",
                     kNtscFrequency,
                     Repeat(3'579'581, 4),
                     5,
                     {"    0:00:02", "1000010", "+10"}},
        SequenceCase{"ExactIsSpaceZero",
                     kNtscFrequency,
                     {kNtscFrequency, kNtscFrequency, kNtscFrequency, kNtscFrequency - 50,
                      kNtscFrequency + 50},
                     4,
                     {"    0:00:01", "1000000", " 0"}},
        SequenceCase{"EarlyPulse",
                     kNtscFrequency,
                     {kNtscFrequency, kNtscFrequency, kNtscFrequency, kNtscFrequency - 50,
                      kNtscFrequency + 50},
                     5,
                     {"    0:00:02", "999986", "-7"}},
        SequenceCase{"BackOnTime",
                     kNtscFrequency,
                     {kNtscFrequency, kNtscFrequency, kNtscFrequency, kNtscFrequency - 50,
                      kNtscFrequency + 50},
                     6,
                     {"    0:00:03", "1000013", " 0"}},
        // 35,795,489 ticks over 10 intervals: dividing first gives 0, scaling first +1.
        SequenceCase{"TruncatesBeforeScaling",
                     kNtscFrequency,
                     Concat(Repeat(kNtscFrequency, 11), {kNtscFrequency + 39}),
                     13,
                     {"    0:00:10", "1000010", " 0"}},
        SequenceCase{"TenMegahertzShort",
                     10'000'000,
                     Repeat(9'999'990, 3),
                     4,
                     {"    0:00:01", "999999", "-1"}},
        SequenceCase{"LostPulse",
                     kNtscFrequency,
                     Concat(Repeat(1, 2), {7'159'090}),
                     4,
                     {"    0:00:01", "2000000", "+1000000"}},
        SequenceCase{"AfterLostPulse",
                     kNtscFrequency,
                     Concat(Repeat(1, 2), {7'159'090, kNtscFrequency}),
                     5,
                     {"    0:00:02", "1000000", "+499999"}},
        SequenceCase{"WidthAndDifferenceDisagree",
                     10'000'000,
                     {1, 1, 10'000'523, 9'999'500},
                     5,
                     {"    0:00:02", "999950", "+1"}},
        // 2,200 s: the width's low 32 bits are negative, and so are the difference's.
        SequenceCase{"WidthPastInt32",
                     10'000'000,
                     {1, 1, 22'000'000'000},
                     4,
                     {"    0:00:01", "-2094967296", "-2095967296"}},
        // Three hours at the POSIX counter's 1 GHz: the naive tick product would overflow.
        SequenceCase{"NoOverflowAtOneGigahertz",
                     1'000'000'000,
                     {1, 1, 10'800'000'001'999},
                     4,
                     {"    0:00:01", "-2084901887", "-2085901887"}},
        // A difference of INT32_MIN has no int32 magnitude; it is shown as INT32_MAX.
        SequenceCase{"MostNegativeDifference",
                     1'000'000,
                     {1, 1, 2'148'483'648},
                     4,
                     {"    0:00:01", "-2146483648", "-2147483647"}},
        SequenceCase{
            "ZeroFrequencyDoesNotDivide", 0, Repeat(5, 3), 4, {"    0:00:01", "0", "-1000000"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PulseStateTest, DsrOffOnlyUnlightsTheLamp) {
    PulseHarness harness(kNtscFrequency);
    harness.Feed(Repeat(kNtscFrequency, 3));
    harness.Pulses().OnDsrOff();
    EXPECT_EQ(harness.Display().Take(), (std::vector<DisplayUpdate>{{IDC_LED, "unlit"}}));
    // The count did not move: the next pulse is the second interval.
    const auto next = harness.Pulse(kFirstReading + 4 * kNtscFrequency);
    EXPECT_EQ(next, std::optional<Shown>(Shown{"    0:00:02", "1000000", " 0"}));
}

TEST(PulseStateTest, NoRowBeforeTheFirstInterval) {
    PulseHarness harness(kNtscFrequency);
    harness.Feed(Repeat(kNtscFrequency, 2));
    ASSERT_FALSE(harness.LogPath().empty());
    EXPECT_TRUE(std::filesystem::exists(harness.LogPath()));
    EXPECT_EQ(ReadWholeFile(harness.LogPath()), "");
}

TEST(PulseStateTest, ElapsedHoursArePaddedToFivePlaces) {
    PulseHarness harness(1'000);
    const auto at3661 = harness.Feed(Repeat(1'000, 2 + 3661)).back();
    EXPECT_EQ(at3661->elapsed, "    1:01:01");
    const auto at360000 = harness.Feed(Repeat(1'000, 360'000 - 3661)).back();
    EXPECT_EQ(at360000->elapsed, "  100:00:00");
}

}  // namespace
}  // namespace cyclara::testing
