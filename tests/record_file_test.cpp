// Every layout the logger ever wrote reads back as the same rows.
#include "record/record_file.h"
#include "record/record_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace cyclara {
namespace {

constexpr const char* kLayout1 =
    "utc,seconds,interval_us,frequency_hz,mean_frequency_hz,grid_time_deviation_s,event\n"
    "2026-12-07T00:00:01.000000Z,0,,,,+0.000000,start\n"
    "2026-12-07T00:00:02.000250Z,1,1000250.000,49.98750,49.98750,-0.000250,\n";
constexpr const char* kLayout2 =
    "# cyclara-log record, layout 2\n"
    "utc,seconds,interval_us,frequency_hz,mean_frequency_hz,grid_time_deviation_s,event,"
    "frequency_uncertainty_hz,clock\n"
    "2026-12-07T00:00:01.000000Z,0,,,,+0.000000,start,,synchronised\n"
    "2026-12-07T00:00:02.000250Z,1,1000250.000,49.98750,49.98750,-0.000250,,0.00141,"
    "synchronised\n";

std::string Layout3() {
    return std::string(kRecordColumns) +
           "\n2026-12-07T00:00:01.000000Z,0,,,,+0.000000,start,,synchronised,50,3\n"
           "2026-12-07T00:00:02.000250Z,1,1000250.000,49.98750,49.98750,-0.000250,,0.00141,"
           "synchronised,50,3\n";
}

TEST(RecordFileTest, EveryLayoutReadsAsTheSameRows) {
    const struct {
        const char* name;
        std::string text;
    } layouts[] = {{"layout 1", kLayout1}, {"layout 2", kLayout2}, {"layout 3", Layout3()}};
    for (const auto& layout : layouts) {
        const ParsedRecord parsed = ParseRecord(layout.text);
        ASSERT_EQ(parsed.problem, "") << layout.name;
        ASSERT_EQ(parsed.rows.size(), 2u) << layout.name;
        EXPECT_EQ(parsed.firstBadLine, 0u) << layout.name;
        EXPECT_EQ(parsed.rows[0].unixMilliseconds, 1'796'601'601'000) << layout.name;
        EXPECT_EQ(parsed.rows[0].event, "start") << layout.name;
        EXPECT_FALSE(parsed.rows[0].frequency) << layout.name;
        EXPECT_EQ(parsed.rows[1].unixMilliseconds, 1'796'601'602'000) << layout.name;
        EXPECT_EQ(parsed.rows[1].frequency, 49.9875) << layout.name;
        EXPECT_EQ(parsed.rows[1].gridTime, -0.00025) << layout.name;
    }
}

}  // namespace
}  // namespace cyclara
