#include "plot/stability.h"

#include <gtest/gtest.h>

#include <random>

namespace cyclara::plot {
namespace {

// Time errors a second apart: white phase noise of s.d. `white`, plus a random walk of steps of
// s.d. `walk` (white frequency noise).
std::vector<double> Phase(double white, double walk, size_t count) {
    std::mt19937_64 random(7);
    std::normal_distribution<double> unit(0.0, 1.0);
    std::vector<double> x;
    double wandered = 0;
    for (size_t i = 0; i < count; ++i) {
        wandered += walk * unit(random);
        x.push_back(wandered + white * unit(random));
    }
    return x;
}

// The textbook slopes: white phase noise s gives an Allan deviation of sqrt(3) s / tau and a
// time deviation of s / sqrt(tau); white frequency noise of steps w gives w / sqrt(tau), and a
// time deviation of w sqrt(tau / 6), the modified variance being half the Allan one.
TEST(StabilityTest, KnownNoisesGiveTheirDeviations) {
    const struct {
        const char* name;
        double white, walk, tau, allan, time;
    } cases[] = {{"white phase, 1 s", 20e-6, 0, 1, 34.64e-6, 20e-6},
                 {"white phase, 16 s", 20e-6, 0, 16, 2.165e-6, 5e-6},
                 {"white frequency, 1 s", 0, 1e-5, 1, 1e-5, 0.577e-5},
                 {"white frequency, 64 s", 0, 1e-5, 64, 0.125e-5, 3.27e-5}};
    for (const auto& c : cases) {
        const std::vector<StabilityPoint> points = Stability({Phase(c.white, c.walk, 40'000)});
        const auto at = std::find_if(points.begin(), points.end(),
                                     [&](const StabilityPoint& p) { return p.tauSeconds == c.tau; });
        ASSERT_NE(at, points.end()) << c.name;
        EXPECT_NEAR(at->allanDeviation / c.allan, 1.0, 0.1) << c.name;
        EXPECT_NEAR(at->timeDeviationSeconds / c.time, 1.0, 0.1) << c.name;
    }
}

TEST(StabilityTest, RunsBreakOnlyWhereTheSecondsDoNotFollowOneAnother) {
    const auto row = [](std::optional<double> gridTime, const char* event) {
        RecordRow made;
        made.frequency = gridTime ? std::optional(50.0) : std::nullopt;
        made.gridTime = gridTime;
        made.event = event;
        return made;
    };
    // A band crossed, a slip, the clock's state: the phase goes on. A gap begins a new run
    // from its own point; an interval of no whole second ends one.
    const std::vector<RecordRow> rows{
        row(0, "start"),
        row(1, ""),
        row(2, "left the standard range (49.950 to 50.050 Hz)"),
        row(2, "glitch"),
        row(3, "cycle slip +1"),
        row(4, "clock unsynchronised"),
        row(6, "lost 1"),
        row(7, ""),
        row(8, "grid time anchor refused: ..."),
        row({}, "device lost"),
        row(0, "start"),
        row(1, ""),
        row(2, ""),
        row(3, "irregular"),
        row(4, ""),
        row(5, "grid time anchored: +0.1 s"),
        row(6, ""),
        row(7, "new epoch"),
        row(8, ""),
        row(9, "")};
    EXPECT_EQ(PhaseRuns(rows), (std::vector<std::vector<double>>{
                                   {0, 1, 2, 3, 4}, {6, 7, 8}, {0, 1, 2}, {7, 8, 9}}));
}

}  // namespace
}  // namespace cyclara::plot
