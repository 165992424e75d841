#include "measure/line_assembler.h"
#include "tests/recording_display.h"

#include <gtest/gtest.h>

namespace cyclara::testing {
namespace {

// Feeds `bytes` to a fresh assembler, one at a time; returns the frequency texts shown.
std::vector<std::string> FrequenciesShown(LineAssembler& assembler, const std::string& bytes) {
    RecordingDisplay display;
    for (char ch : bytes) {
        assembler.AppendLineChar(ch, display);
    }
    std::vector<std::string> shown;
    for (const DisplayUpdate& update : display.updates) {
        EXPECT_EQ(update.id, IDC_FREQ);
        shown.push_back(update.text);
    }
    return shown;
}

struct LineCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> shown;
};

void PrintTo(const LineCase& c, std::ostream* out) {
    *out << c.name;
}

class LineAssemblerTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineAssemblerTest, ShowsTheFigureOfHzLines) {
    LineAssembler assembler;
    EXPECT_EQ(FrequenciesShown(assembler, GetParam().bytes), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineAssemblerTest,
    ::testing::Values(LineCase{"Sixty", "60Hz\r\n", {"60"}}, LineCase{"Fifty", "50Hz\r\n", {"50"}},
                      // Without the CR the z is the byte dropped before the LF.
                      LineCase{"LineFeedAloneDropsTheZ", "60Hz\n", {}},
                      LineCase{"DecimalPointMovesTheUnit", "59.9Hz\r\n", {}},
                      LineCase{"TextAfterTheUnit", "60Hz stable\r\n", {"60"}},
                      LineCase{"LowercaseH", "60hz\r\n", {}},
                      LineCase{"UppercaseZ", "60HZ\r\n", {}},
                      LineCase{"TwoLines", "60Hz\r\n50Hz\r\n", {"60", "50"}},
                      // The empty line tests the indexes the previous match left cleared.
                      LineCase{"EmptyLineAfterAMatch", "60Hz\r\n\n", {"60"}},
                      LineCase{"EmptyLinesFirst", "\n\r\n60Hz\r\n", {"60"}},
                      LineCase{"ZeroByteShortensTheFigure",
                               std::string("\0"
                                           "0Hz\r\n",
                                           6),
                               {""}},
                      LineCase{"BytesAbove127PassThrough", "\xff\x80Hz\r\n", {"\xff\x80"}},
                      LineCase{"NoLineFeedNoLine", "60Hz\r", {}},
                      // 256 bytes wrap the position back to 0, where the figure then lands.
                      LineCase{"LongLineWraps", std::string(256, 'x') + "60Hz\r\n", {"60"}},
                      LineCase{"LongLineWithoutUnit", std::string(300, 'x') + "\r\n", {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cyclara::testing
