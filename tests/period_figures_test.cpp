#include "logger/period_figures.h"
#include "logger/statistics/statistics_output.h"
#include "measure/time_spans.h"
#include "tests/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace cyclara::logger {
namespace {

constexpr int64_t kStart = 1'800'000'000;  // a UTC minute's start, in seconds
constexpr double kGlitch = -1;  // an edge too early, repeating the last reading

// A period of one reading a second from a UTC minute's start, against a band of 49.9 to 50.1
// and a standard range of +-`standardRangeHz` around 50 Hz.
PeriodFigures PeriodOfReadings(const std::vector<double>& hertz,
                               std::optional<double> standardRangeHz = 0.05) {
    PeriodFigures period({Band{"band", 49.9, 50.1, 2}}, standardRangeHz);
    PulseReport report;
    report.pulse = CountedPulse{};
    report.pulse->count = 1;
    report.nominalHz = 50;
    for (size_t i = 0; i < hertz.size(); ++i) {
        report.unixNanoseconds = (kStart + static_cast<int64_t>(i)) * kSecondNs;
        const bool glitch = hertz[i] == kGlitch;
        PulseFigures figures = report.figures.value_or(PulseFigures{});
        figures.kind = glitch ? PulseFigures::Kind::kGlitch : PulseFigures::Kind::kMeasured;
        figures.frequencyTenMicroHz = glitch ? figures.frequencyTenMicroHz : std::llround(hertz[i] * 1e5);
        report.figures = figures;
        period.Add(report);
    }
    return period;
}

TEST(PeriodFiguresTest, WhatAPeriodOfReadingsShows) {
    const std::vector<double> minute(60, 50.06);  // a whole minute outside the standard range
    std::vector<double> twoMinutes = minute;
    twoMinutes.insert(twoMinutes.end(), 60, 50.0);
    // Three minutes swinging +-70 mHz, 29 s of each outside: the operators count the seconds.
    std::vector<double> swinging;
    for (int second = 0; second < 180; ++second) {
        const int phase = second % 60;
        swinging.push_back(phase < 29 ? 50.07 : phase < 58 ? 49.93 : 50.0);
    }
    const struct {
        const char* name;
        std::vector<double> hertz;
        int64_t readings;
        double mean, sd;
        int64_t lowestAt, highestAt, outside, minutesOutside, outsideBand;
    } cases[] = {
        {"extremes at their times", {50.0, 49.85, 50.02, 50.12, 50.0}, 5, 49.998, 0.09654, 1, 3, 2,
         0, 2},
        {"a glitch is no reading", {50.0, kGlitch, 50.02}, 2, 50.01, 0.01414, 0, 2, 0, 0, 0},
        {"a minute outside by its mean", minute, 60, 50.06, 0, 0, 0, 60, 1, 0},
        {"and one inside after it", twoMinutes, 120, 50.03, 0.03013, 60, 0, 60, 1, 0},
        {"swings outside are seconds outside, though no minute's mean is", swinging, 180, 50.0,
         0.06902, 29, 0, 174, 0, 0},
    };
    for (const auto& c : cases) {
        const PeriodFigures period = PeriodOfReadings(c.hertz);
        EXPECT_EQ(period.Readings(), c.readings) << c.name;
        EXPECT_NEAR(static_cast<double>(*period.Mean()) / 1e5, c.mean, 1e-5) << c.name;
        EXPECT_NEAR(period.StandardDeviationHz().value_or(0), c.sd, 1e-5) << c.name;
        EXPECT_EQ(period.LowestNs() / kSecondNs - kStart, c.lowestAt) << c.name;
        EXPECT_EQ(period.HighestNs() / kSecondNs - kStart, c.highestAt) << c.name;
        EXPECT_EQ(period.SecondsOutsideStandardRange(), c.outside) << c.name;
        EXPECT_EQ(period.MinutesOutsideStandardRange(), c.minutesOutside) << c.name;
        EXPECT_EQ(period.SecondsOutsideBands(), std::vector<int64_t>{c.outsideBand}) << c.name;
    }
}

TEST(PeriodFiguresTest, TheStandardRangeIsTheGridsOwn) {
    // A steady 75 mHz above nominal for a minute.
    const struct {
        const char* grid;
        std::optional<int64_t> secondsOutside;
    } cases[] = {{"continental-europe", 60},  // +-50 mHz
                 {"great-britain", 0},        // +-200 mHz
                 {"nordic", 0},               // +-100 mHz
                 {"north-america-eastern", std::nullopt}};
    for (const auto& c : cases) {
        const PeriodFigures period =
            PeriodOfReadings(std::vector<double>(60, 50.075), GridNamed(c.grid)->standardRangeHz);
        EXPECT_EQ(period.SecondsOutsideStandardRange(), c.secondsOutside) << c.grid;
        EXPECT_EQ(period.MinutesOutsideStandardRange().has_value(), c.secondsOutside.has_value())
            << c.grid;
    }
}

// One CSV file's rows by its header's names.
std::vector<std::map<std::string, std::string>> CsvRows(const std::string& path) {
    std::ifstream file(path);
    std::vector<std::string> names;
    std::vector<std::map<std::string, std::string>> rows;
    for (std::string line; std::getline(file, line);) {
        std::vector<std::string> fields;
        std::stringstream parts(line);
        for (std::string field; std::getline(parts, field, ',');) {
            fields.push_back(field);
        }
        if (names.empty()) {
            names = fields;
            continue;
        }
        std::map<std::string, std::string>& row = rows.emplace_back();
        for (size_t i = 0; i < fields.size() && i < names.size(); ++i) {
            row[names[i]] = fields[i];
        }
    }
    return rows;
}

// A simulated UTC day of one reading a second, a slow wander and a dip below 49.9 Hz, through
// the statistics output; every quarter-hour and the day checked against sums made here.
TEST(StatisticsOutputTest, ADaysQuarterHoursAndTheDayAreTheirReadingsFigures) {
    constexpr int64_t kDayStart = 1'796'601'600;  // 2026-12-07T00:00:00Z
    const auto hertzAt = [](int64_t second) {
        const double dip = second >= 40'000 && second < 40'120 ? -0.15 : 0.0;
        return std::round((50 + 0.04 * std::sin(second / 3000.0) + dip) * 1e5) / 1e5;
    };
    cyclara::testing::TempFolder folder;
    const std::string statistics = folder.Path().string() + "/statistics/";
    // A days.csv an older layout began is moved aside whole, never appended to.
    const std::string older = "utc,readings,seconds_outside:emergency limits\n"
                              "2026-12-06T00:00:00.000000Z,86400,0\n";
    std::filesystem::create_directories(statistics);
    std::ofstream(statistics + "days.csv") << older;
    {
        const std::unique_ptr<Output> output =
            OpenStatisticsOutput(folder.Path().string(), GridChoice{"continental-europe", {}});
        PulseReport report;
        report.pulse = CountedPulse{};
        report.pulse->count = 1;
        report.figures = PulseFigures{};
        report.figures->kind = PulseFigures::Kind::kMeasured;
        report.nominalHz = 50;
        // The next day's first second completes the day.
        for (int64_t second = 0; second <= 86'400; ++second) {
            report.unixNanoseconds = (kDayStart + second) * kSecondNs;
            report.figures->frequencyTenMicroHz = std::llround(hertzAt(second) * 1e5);
            output->Take(report);
        }
        // A close delivers only within its bound; a sanitized build takes longer than that.
        output->Drain();
        output->Close();
    }
    const auto quarters = CsvRows(statistics + "15min-2026-12-07.csv");
    const auto days = CsvRows(statistics + "days.csv");
    ASSERT_EQ(quarters.size(), 96u);
    // The next day's first second too: the close writes the part of a period it holds.
    ASSERT_EQ(days.size(), 2u);
    EXPECT_EQ(days[1].at("readings"), "1");
    for (size_t block = 0; block <= quarters.size(); ++block) {
        const bool day = block == quarters.size();
        const auto& row = day ? days[0] : quarters[block];
        const int64_t first = day ? 0 : static_cast<int64_t>(block) * 900;
        const int64_t count = day ? 86'400 : 900;
        double sum = 0, squares = 0, lowest = 99, highest = 0;
        int64_t outside = 0, outsideAlert = 0;
        for (int64_t second = first; second < first + count; ++second) {
            const double hertz = hertzAt(second);
            sum += hertz;
            lowest = std::min(lowest, hertz);
            highest = std::max(highest, hertz);
            outside += std::abs(hertz - 50) > 0.05 ? 1 : 0;
            outsideAlert += hertz < 49.9 || hertz > 50.1 ? 1 : 0;
        }
        const double mean = sum / static_cast<double>(count);
        for (int64_t second = first; second < first + count; ++second) {
            squares += (hertzAt(second) - mean) * (hertzAt(second) - mean);
        }
        const std::string where = day ? "the day" : "quarter-hour " + std::to_string(block);
        EXPECT_EQ(row.at("readings"), std::to_string(count)) << where;
        EXPECT_NEAR(std::stod(row.at("mean_hz")), mean, 0.6e-5) << where;
        EXPECT_NEAR(std::stod(row.at("standard_deviation_hz")),
                    std::sqrt(squares / static_cast<double>(count - 1)), 0.6e-5)
            << where;
        EXPECT_NEAR(std::stod(row.at("lowest_hz")), lowest, 1e-9) << where;
        EXPECT_NEAR(std::stod(row.at("highest_hz")), highest, 1e-9) << where;
        EXPECT_EQ(row.at("seconds_outside_standard_range"), std::to_string(outside)) << where;
        EXPECT_EQ(row.at("seconds_outside_alert_100_mhz_for_5_min"),
                  std::to_string(outsideAlert))
            << where;
    }
    for (const auto& row : quarters) {
        EXPECT_EQ(row.at("seconds_without_reading"), "0") << "a grid a little fast loses none";
    }
    std::ifstream aside(statistics + "days.1.csv");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), older);
}

// The seconds a quarter-hour has no reading for: pulses lost, and the device away between two
// runs, each part of the gap in the quarter it fell in.
TEST(StatisticsOutputTest, SecondsWithoutReadingAreTheLostAndTheAwayOnes) {
    constexpr int64_t kStart = 1'796'601'600;  // 2026-12-07T00:00:00Z, a quarter-hour's start
    const struct {
        const char* name;
        int64_t lastBeforeGap, nextStart;  // seconds; the runs pulse every second besides
        int64_t lostAt;                    // a pulse lost inside an interval there; 0: none
        std::vector<std::string> withoutReading;  // the two quarters'
    } cases[] = {
        {"away 101 s within the first quarter", 399, 500, 0, {"101", "0"}},
        {"away across the quarters' boundary", 850, 950, 0, {"50", "50"}},
        {"one pulse lost in the second", 850, 851, 1200, {"1", "1"}},
    };
    for (const auto& c : cases) {
        cyclara::testing::TempFolder folder;
        const std::string statistics = folder.Path().string() + "/statistics/";
        {
            const std::unique_ptr<Output> output =
                OpenStatisticsOutput(folder.Path().string(), GridChoice{"continental-europe", {}});
            const auto pulse = [&](int64_t second, bool start, int64_t lost) {
                PulseReport report;
                report.unixNanoseconds = (kStart + second) * kSecondNs;
                report.pulse = CountedPulse{};
                report.pulse->count = start ? 0 : 1;
                report.figures = PulseFigures{};
                report.figures->kind = start ? PulseFigures::Kind::kReference
                                             : PulseFigures::Kind::kMeasured;
                report.figures->lost = lost;
                report.figures->frequencyTenMicroHz = 5'000'000;
                report.nominalHz = 50;
                output->Take(report);
            };
            pulse(0, true, 0);
            for (int64_t second = 1; second <= 1800; ++second) {
                if (second > c.lastBeforeGap && second < c.nextStart) {
                    continue;
                }
                if (c.lostAt != 0 && second == c.lostAt) {
                    continue;
                }
                pulse(second, second == c.nextStart, c.lostAt != 0 && second == c.lostAt + 1);
            }
            output->Drain();
            output->Close();
        }
        const auto quarters = CsvRows(statistics + "15min-2026-12-07.csv");
        ASSERT_EQ(quarters.size(), 3u) << c.name << ": and the close's part of the third";
        for (size_t q = 0; q < 2; ++q) {
            EXPECT_EQ(quarters[q].at("seconds_without_reading"), c.withoutReading[q])
                << c.name << ", quarter " << q;
        }
    }
}

}  // namespace
}  // namespace cyclara::logger
