// Two meters' series made here from one synthetic grid, with the clock offset, frequency offset
// and noise the test chose: the comparison must find what was put in, and its figures must be
// what the test computes from the same numbers.
#include "compare/comparison.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace cyclara::compare {
namespace {

constexpr int64_t kStart = 1'796'601'600;  // 2026-12-07T00:00:00Z
constexpr int kSeconds = 3600;

// A deterministic noise in [-1, 1).
double Noise(uint64_t& state) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) / static_cast<double>(1ULL << 52) - 1.0;
}

// A grid's frequency a second over an hour and a minute either side: a slow swing and a wander.
std::vector<double> Grid(uint64_t seed) {
    std::vector<double> hertz;
    double wander = 0;
    for (int t = -60; t < kSeconds + 60; ++t) {
        wander += 0.002 * Noise(seed);
        hertz.push_back(50 + 0.03 * std::sin(t / 700.0) + wander);
    }
    return hertz;
}

double At(const std::vector<double>& grid, int t) {
    return grid[static_cast<size_t>(t + 60)];
}

struct Meter {
    int clockAheadSeconds;  // its label for the grid's second t is t + this
    double offsetHz;
    double noiseHz;  // uniform, +- this
    uint64_t seed;
};

Series Recorded(const char* name, const std::vector<double>& grid, const Meter& m,
                std::vector<double>& noiseAtGridSecond) {
    Series series;
    series.name = name;
    series.nominalHz = 50;
    uint64_t state = m.seed;
    noiseAtGridSecond.clear();
    for (int t = 0; t < kSeconds; ++t) {
        noiseAtGridSecond.push_back(m.noiseHz * Noise(state));
        series.hertzBySecond[kStart + t + m.clockAheadSeconds] =
            At(grid, t) + m.offsetHz + noiseAtGridSecond.back();
    }
    return series;
}

TEST(ComparisonTest, FindsTheClockOffsetAndTheFiguresPutIn) {
    const struct {
        const char* name;
        int bAheadSeconds;
        double bOffsetHz;
    } cases[] = {{"B's clock 2 s ahead, reading 1.5 mHz low", 2, -0.0015},
                 {"in step, reading 0.5 mHz high", 0, 0.0005},
                 {"B's clock 7 s behind", -7, 0.0}};
    const std::vector<double> grid = Grid(1);
    for (const auto& c : cases) {
        std::vector<double> noiseA, noiseB;
        const Series a = Recorded("A", grid, {0, 0.0, 0.0008, 2}, noiseA);
        const Series b = Recorded("B", grid, {c.bAheadSeconds, c.bOffsetHz, 0.0008, 3}, noiseB);
        const std::optional<Comparison> found = Compare(a, b);
        ASSERT_TRUE(found) << c.name;
        EXPECT_TRUE(found->sameArea) << c.name;
        EXPECT_NEAR(found->lagSeconds, c.bAheadSeconds, 0.15) << c.name;
        // The difference at the clock offset, as the test computes it from what it put in.
        std::vector<double> differences;
        for (int t = 0; t < kSeconds; ++t) {
            differences.push_back((c.bOffsetHz + noiseB[t] - noiseA[t]) * 1e3);
        }
        double mean = 0;
        for (const double d : differences) {
            mean += d / kSeconds;
        }
        double adev1 = 0;
        for (size_t i = 1; i < differences.size(); ++i) {
            adev1 += std::pow(differences[i] - differences[i - 1], 2) / (2.0 * (kSeconds - 1));
        }
        const Agreement& at = found->atLag;
        EXPECT_EQ(at.pairedSeconds, kSeconds) << c.name;
        EXPECT_NEAR(at.meanDifferenceMhz, mean, 1e-9) << c.name;
        EXPECT_NEAR(at.allanDeviationMhz.at(0).second, std::sqrt(adev1), 1e-9) << c.name;
        EXPECT_NEAR(at.gridTimeDriftMs, mean / 1e3 / 50 * kSeconds * 1e3, 1e-9) << c.name;
        // Uniform noise of +-0.8 mHz in each: the difference's s.d. is 0.8 * sqrt(2/3) mHz.
        EXPECT_NEAR(at.differenceSdMhz, 0.8 * std::sqrt(2.0 / 3.0), 0.05) << c.name;
        EXPECT_LT(std::fabs(at.meanDifferenceMhz - c.bOffsetHz * 1e3),
                  4 * at.meanDifferenceUncertaintyMhz + 1e-6)
            << c.name;
        if (c.bAheadSeconds != 0) {
            EXPECT_GT(found->atZeroLag.differenceSdMhz, 2 * at.differenceSdMhz)
                << c.name << ": without the shift the grid's wander stays in the difference";
        }
    }
}

TEST(ComparisonTest, TwoAreasOrTooFewSecondsAreSaidNotCompared) {
    std::vector<double> noise;
    const Series a = Recorded("A", Grid(1), {0, 0.0, 0.0008, 2}, noise);
    const Series other = Recorded("B", Grid(99), {0, 0.0, 0.0008, 3}, noise);
    const std::optional<Comparison> areas = Compare(a, other);
    ASSERT_TRUE(areas);
    EXPECT_FALSE(areas->sameArea);
    EXPECT_NE(Verdict(*areas).find("do not follow each other"), std::string::npos);
    Series few = a;
    few.hertzBySecond.erase(few.hertzBySecond.begin(),
                            std::next(few.hertzBySecond.begin(), kSeconds - 30));
    EXPECT_FALSE(Compare(a, few));
}

}  // namespace
}  // namespace cyclara::compare
