// A row on a terminal stands under its header, whatever its values' widths; in a pipe it is
// tab-separated, as programs read it.
#include "logger/standard_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace cyclara::logger {
namespace {

// Where each column ends in a laid-out line: after each run of characters.
std::vector<size_t> ColumnEnds(const std::string& line) {
    std::vector<size_t> ends;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != ' ' && (i + 1 == line.size() || line[i + 1] == ' ')) {
            ends.push_back(i);
        }
    }
    return ends;
}

TEST(StandardOutputTest, RowsOnATerminalStandUnderTheirHeader) {
    const struct {
        int32_t count;
        int32_t widthUs;
        int32_t differenceUs;
        std::optional<int64_t> tenMicroHz;
        int64_t gridTimeUs;
    } cases[] = {{1, 1000012, 12, 5'000'060, -12},
                 {604'800, 999'000, -1'000, std::nullopt, -123'456'789},
                 {3600, 1000000, 0, 4'999'999, 0}};
    const std::vector<size_t> header = ColumnEnds(RowHeader());
    ASSERT_EQ(header.size(), 6u);
    for (const auto& c : cases) {
        PulseReport report;
        report.pulse = CountedPulse{0, 0, c.count, c.widthUs, c.differenceUs, 1'000'000'000};
        report.figures = PulseFigures{};
        report.figures->frequencyTenMicroHz = c.tenMicroHz;
        report.figures->gridTimeDeviationUs = c.gridTimeUs;
        report.frequencyText = "50";
        EXPECT_EQ(ColumnEnds(FormatRow(report, RowLayout::kColumns)), header) << c.count;
        const std::string tabbed = FormatRow(report, RowLayout::kTabs);
        EXPECT_EQ(std::count(tabbed.begin(), tabbed.end(), '\t'), 5) << tabbed;
        EXPECT_EQ(tabbed.find(' '), std::string::npos) << tabbed;
    }
}

}  // namespace
}  // namespace cyclara::logger
