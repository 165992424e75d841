// The page's histogram of readings, as Prometheus reads it: cumulative buckets, a reading on
// a bound counted in that bound's bucket, and one beyond every bound in +Inf alone.
#include "logger/web/live_figures.h"
#include "logger/web/metrics_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace cyclara::logger {
namespace {

PulseReport Reading(int64_t frequencyTenMicroHz, int32_t count) {
    PulseReport report;
    report.nominalHz = 50;
    report.unixNanoseconds = int64_t{1'800'000'000} * 1'000'000'000 + count * 1'000'000'000LL;
    CountedPulse pulse;
    pulse.count = count;
    report.pulse = pulse;
    PulseFigures figures;
    figures.kind = PulseFigures::Kind::kMeasured;
    figures.seconds = count;
    figures.frequencyTenMicroHz = frequencyTenMicroHz;
    report.figures = figures;
    return report;
}

// Each bucket's count, by its le label.
std::map<std::string, int> Buckets(const std::string& metrics) {
    std::map<std::string, int> buckets;
    std::istringstream lines(metrics);
    const std::string prefix = "cyclara_frequency_readings_hertz_bucket{le=\"";
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) == 0) {
            const size_t end = line.find('"', prefix.size());
            buckets[line.substr(prefix.size(), end - prefix.size())] =
                std::stoi(line.substr(line.find(' ', end) + 1));
        }
    }
    return buckets;
}

TEST(LiveMetricsTest, EachReadingCountsInEveryBucketFromItsOwnBoundUp) {
    const struct {
        const char* why;
        int64_t frequencyTenMicroHz;
        std::map<std::string, int> buckets;  // some of the buckets, as they must read
    } cases[] = {
        {"a reading on the lowest bound", 4'900'000, {{"49.00", 1}, {"49.50", 1}, {"+Inf", 1}}},
        {"on the bound 10 mHz above nominal", 5'001'000, {{"50.00", 0}, {"50.01", 1}}},
        {"on the bound 10 mHz below nominal", 4'999'000, {{"49.98", 0}, {"49.99", 1}}},
        {"a bounce's 0.9 s, beyond every bound", 5'555'556,
         {{"49.00", 0}, {"51.00", 0}, {"+Inf", 1}}},
        {"below every bound", 4'400'000, {{"49.00", 1}, {"49.50", 1}, {"+Inf", 1}}},
    };
    for (const auto& c : cases) {
        LiveFigures figures(GridChoice{});
        figures.Add(Reading(5'000'000, 1));  // the grid's nominal, in every bucket from 50.00
        figures.Add(Reading(c.frequencyTenMicroHz, 2));
        const std::map<std::string, int> buckets =
            Buckets(MetricsText(figures.Metrics(), {}, "test", 0));
        for (const auto& [le, count] : c.buckets) {
            const int nominalToo = le == "+Inf" || std::stod(le) >= 50.0 ? 1 : 0;
            ASSERT_EQ(buckets.count(le), 1U) << c.why << ": no bucket " << le;
            EXPECT_EQ(buckets.at(le), count + nominalToo) << c.why << ", le=" << le;
        }
    }
}

}  // namespace
}  // namespace cyclara::logger
