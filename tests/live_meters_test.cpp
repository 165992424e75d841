// The live comparison fed states as a broker would hand them, on a time the test gives: which
// meters it marks, how long it keeps their seconds, and the phase it finds between two sites.
#include "compare/live/live_meters.h"
#include "compare/live/state_message.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cyclara::compare {
namespace {

constexpr int64_t kSecondNs = 1'000'000'000;
constexpr int64_t kStartNs = 1'796'601'600 * kSecondNs;  // 2026-12-07T00:00:00Z

// A grid wandering slowly about 50 Hz, at second `t`.
double Grid(int t) {
    return 50 + 0.03 * std::sin(t / 50.0) + 0.01 * std::sin(t / 7.0);
}

struct Site {
    std::string name;
    std::string clock = "synchronised";
    int64_t pulseAfterNs = 0;    // its pulses this long after the first site's
    double offsetHz = 0;         // what it reads beside the grid
    double uncertaintyHz = 0.0002;
    int64_t lastReceivedAtS = 0;  // the monotonic second its last state came (0: at once)
};

// `seconds` states of each site, received as they happen; the view at monotonic second
// `seconds` + `lookAfterS`.
LiveView Watch(const std::vector<Site>& sites, int seconds, int64_t windowSeconds,
               int lookAfterS = 0) {
    LiveMeters meters(windowSeconds);
    for (int t = 0; t < seconds; ++t) {
        for (const Site& site : sites) {
            const int64_t receivedS = site.lastReceivedAtS != 0 ? std::min<int64_t>(t, site.lastReceivedAtS) : t;
            meters.Take(site.name,
                        {kStartNs + t * kSecondNs + site.pulseAfterNs, Grid(t) + site.offsetHz,
                         site.clock, site.uncertaintyHz},
                        receivedS * kSecondNs);
        }
    }
    return meters.View((seconds + lookAfterS) * kSecondNs);
}

TEST(LiveMetersTest, MarksWhatCannotBeComparedAndComparesTheRest) {
    const struct {
        const char* name;
        std::vector<Site> sites;
        int lookAfterS;
        std::vector<std::string> states;  // each meter's, by name
        std::string whyNot;               // the pair's; empty where it is compared
    } cases[] = {
        {"two meters kept to UTC", {{"a"}, {"b"}}, 0, {"live", "live"}, ""},
        {"one whose clock is not kept", {{"a"}, {"b", "unsynchronised"}}, 0,
         {"live", "unsynchronised"}, "b's clock is not kept to UTC"},
        {"one on a GPS reference beside one slewing", {{"a", "reference"}, {"b", "slewing"}}, 0,
         {"live", "live"}, ""},
        {"one quiet for 11 s", {{"a"}, {"b", "synchronised", 0, 0, 0.0002, 189}}, 0,
         {"live", "quiet"}, "b has published nothing for 10 s"},
        {"both looked at 5 s later", {{"a"}, {"b"}}, 5, {"live", "live"}, ""},
        {"both looked at 11 s later", {{"a"}, {"b"}}, 11, {"quiet", "quiet"},
         "a has published nothing for 10 s"},
    };
    for (const auto& c : cases) {
        const LiveView view = Watch(c.sites, 200, 600, c.lookAfterS);
        std::vector<std::string> states;
        for (const MeterView& meter : view.meters) {
            states.push_back(MeterStateName(meter.state));
        }
        EXPECT_EQ(states, c.states) << c.name;
        ASSERT_EQ(view.pairs.size(), 1u) << c.name;
        EXPECT_EQ(view.pairs[0].whyNot, c.whyNot) << c.name;
        EXPECT_EQ(view.pairs[0].comparison.has_value(), c.whyNot.empty()) << c.name;
    }
}

TEST(LiveMetersTest, ComparesOverTheWindowAlone) {
    const struct {
        int seconds;
        int64_t windowSeconds;
        size_t kept;
        bool compared;
    } cases[] = {{59, 600, 59, false}, {200, 600, 200, true}, {900, 600, 600, true},
                 {900, 120, 120, true}};
    for (const auto& c : cases) {
        const LiveView view = Watch({{"a"}, {"b", "synchronised", 0, -0.0015}}, c.seconds,
                                    c.windowSeconds);
        EXPECT_EQ(view.meters[0].seconds, c.kept) << c.seconds;
        ASSERT_EQ(view.pairs[0].comparison.has_value(), c.compared) << c.seconds;
        if (c.compared) {
            const Agreement& agreement = view.pairs[0].comparison->atLag;
            EXPECT_EQ(agreement.pairedSeconds, static_cast<int64_t>(c.kept)) << c.seconds;
            EXPECT_NEAR(agreement.meanDifferenceMhz, -1.5, 1e-6) << c.seconds;
        }
    }
}

TEST(LiveMetersTest, LeavesOutAndCountsWhatNoGridCanRead) {
    LiveMeters meters(600);
    const double readings[] = {50.01, 70.0, 44.9, 65.0, 45.0};
    for (size_t t = 0; t < std::size(readings); ++t) {
        meters.Take("a", {kStartNs + static_cast<int64_t>(t) * kSecondNs, readings[t],
                          "synchronised", std::nullopt},
                    0);
    }
    const MeterView meter = meters.View(0).meters.at(0);
    EXPECT_EQ(meter.seconds, 3u);
    EXPECT_EQ(meter.leftOut, 2);
}

// B's pulses a fixed time after A's are a fixed part of the cycle: 1 ms at 50 Hz is 18 degrees.
TEST(LiveMetersTest, GivesThePhaseOnlyWhereGpsAndTheTimestampsSupportIt) {
    const struct {
        const char* name;
        std::string clock;
        int64_t afterNs;
        double uncertaintyHz;
        std::optional<double> degrees;
        std::string whyNot;
    } cases[] = {
        {"1 ms after", "reference", 1'000'000, 0.0002, 18.0, ""},
        {"a cycle and 1 ms before", "reference", -21'000'000, 0.0002, -18.0, ""},
        {"half a cycle after", "reference", 10'000'000, 0.0002, 180.0, ""},
        {"without GPS", "synchronised", 1'000'000, 0.0002, std::nullopt,
         "a phase needs a GPS reference on both meters"},
        // 0.05 Hz is 0.707 ms of scatter a timestamp, 1 ms the two: 18 degrees.
        {"timestamps too scattered", "reference", 1'000'000, 0.05, std::nullopt,
         "the timestamps scatter by 1 ms together, 18 degrees of a cycle"},
    };
    for (const auto& c : cases) {
        const LiveView view = Watch({{"a", c.clock, 0, 0, c.uncertaintyHz},
                                     {"b", c.clock, c.afterNs, 0, c.uncertaintyHz}},
                                    200, 600);
        const PhaseView& phase = view.pairs[0].phase;
        EXPECT_EQ(phase.whyNot, c.whyNot) << c.name;
        ASSERT_EQ(phase.degrees.has_value(), c.degrees.has_value()) << c.name;
        if (c.degrees) {
            // A grid within 0.04 Hz of 50: a delay is that much more or less of a cycle.
            EXPECT_NEAR(std::fabs(*phase.degrees), std::fabs(*c.degrees),
                        360 * 0.04 * std::fabs(static_cast<double>(c.afterNs)) / 1e9 + 1e-9)
                << c.name;
            EXPECT_NEAR(phase.uncertaintyDegrees, 360 * 50 * 0.0002 / (50 * std::sqrt(2.0)) *
                                                      std::sqrt(2.0),
                        1e-3)
                << c.name;
        }
    }
}

TEST(StateMessageTest, ReadsWhatTheLoggerPublishes) {
    const struct {
        const char* payload;
        std::optional<int64_t> utcNs;
        std::optional<double> hertz;
        std::string clock;
    } cases[] = {
        {R"({"utc":"2026-12-07T00:00:01.000250Z","frequency_hz":49.98765,"clock":"reference",
            "frequency_uncertainty_hz":0.0001})",
         kStartNs + kSecondNs + 250'000, 49.98765, "reference"},
        {R"({"utc":"2026-12-07T00:00:02.000000Z","frequency_hz":null,"clock":"synchronised"})",
         kStartNs + 2 * kSecondNs, std::nullopt, "synchronised"},
        {R"({"frequency_hz":50.0})", std::nullopt, std::nullopt, ""},
        {R"({"utc":"yesterday","frequency_hz":50.0})", std::nullopt, std::nullopt, ""},
        {"online", std::nullopt, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        const std::optional<StateReading> reading = ReadState(c.payload);
        ASSERT_EQ(reading.has_value(), c.utcNs.has_value()) << c.payload;
        if (reading) {
            EXPECT_EQ(reading->utcNs, *c.utcNs) << c.payload;
            EXPECT_EQ(reading->hertz, c.hertz) << c.payload;
            EXPECT_EQ(reading->clock, c.clock) << c.payload;
        }
    }
    EXPECT_EQ(MeterOfTopic("cyclara/kitchen/state"), "cyclara/kitchen");
    EXPECT_EQ(MeterOfTopic("cyclara/host/usb-FTDI/state"), "cyclara/host/usb-FTDI");
    EXPECT_EQ(MeterOfTopic("cyclara/kitchen/availability"), std::nullopt);
    EXPECT_EQ(MeterOfTopic("/state"), std::nullopt);
}

}  // namespace
}  // namespace cyclara::compare
