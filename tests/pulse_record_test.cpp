#include "logger/grid_recorder.h"
#include "logger/pulse_record.h"
#include "tests/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace cyclara::logger {
namespace {

using testing::ReadWholeFile;
using testing::TempFolder;

TEST(PulseRecordTest, EachUtcDayHasItsFileAndARestartAppendsAfterTheLastWholeRow) {
    TempFolder folder;
    {
        PulseRecord record(folder.WithSeparator());
        ASSERT_TRUE(record.Append("2026-12-07", "before midnight\n"));
        ASSERT_TRUE(record.Append("2026-12-08", "after midnight\n"));
    }
    const std::string secondDay = folder.WithSeparator() + "2026-12-08.csv";
    std::ofstream(secondDay, std::ios::binary | std::ios::app) << "a row the power cut o";
    PulseRecord restarted(folder.WithSeparator());
    ASSERT_TRUE(restarted.Append("2026-12-08", "after the restart\n"));
    EXPECT_EQ(ReadWholeFile(folder.WithSeparator() + "2026-12-07.csv"),
              std::string(kRecordHeader) + "before midnight\n");
    EXPECT_EQ(ReadWholeFile(secondDay),
              std::string(kRecordHeader) + "after midnight\nafter the restart\n");
}

TEST(PulseRecordTest, RowsOfPulsesAndOfEvents) {
    PulseFigures lost;
    lost.kind = PulseFigures::Kind::kMeasured;
    lost.seconds = 3;
    lost.intervalTicks = 2'000'020'000;
    lost.lost = 1;
    lost.frequency = 4'999'950;
    lost.meanFrequency = 4'999'967;
    lost.gridTimeDeviationUs = -20;
    const int64_t time = 1'796'601'600'000'001'000;  // 2026-12-07 00:00:00.000001 UTC
    EXPECT_EQ(FormatRecordRow(time, lost, EventOf(lost), 1'000'000'000),
              "2026-12-07T00:00:00.000001Z,3,2000020.000,49.99950,49.99967,-0.000020,lost 1\n");
    EXPECT_EQ(FormatRecordRow(time, std::nullopt, "device lost", 1'000'000'000),
              "2026-12-07T00:00:00.000001Z,,,,,,device lost\n");
}

// Every row a day's files hold, without their headers, in order.
std::vector<std::string> Events(const std::string& folder) {
    std::vector<std::string> events;
    std::istringstream rows(ReadWholeFile(folder + "/" + std::filesystem::directory_iterator(
                                                             folder)->path().filename().string()));
    for (std::string row; std::getline(rows, row);) {
        if (row + "\n" != kRecordHeader) {
            events.push_back(row.substr(row.rfind(',') + 1));
        }
    }
    return events;
}

TEST(PulseRecordTest, ADeletedDayIsBegunAgainAndRowsThatCouldNotBeWrittenAreCounted) {
    TempFolder folder;
    const std::string record = folder.WithSeparator() + "record";
    GridRecorder grid(50, record);
    grid.RecordEvent("before");
    std::filesystem::remove(std::filesystem::directory_iterator(record)->path());
    grid.RecordEvent("after the day was deleted");
    std::filesystem::rename(record, record + ".away");
    std::ofstream(record) << "a file where the folder was";
    grid.RecordEvent("missed");
    grid.RecordEvent("missed too");
    std::filesystem::remove(record);
    std::filesystem::rename(record + ".away", record);
    grid.RecordEvent("back");
    EXPECT_EQ(Events(record), (std::vector<std::string>{"after the day was deleted",
                                                        "unrecorded 2", "back"}));
}

}  // namespace
}  // namespace cyclara::logger
