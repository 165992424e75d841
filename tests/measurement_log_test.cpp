#include "measure/measurement_log.h"
#include "measure/log_files.h"
#include "tests/temp_folder.h"

#include <gtest/gtest.h>

namespace cyclara::testing {
namespace {

constexpr LocalTime kOpened{2024, 1, 5, 9, 3, 7};

// A log over test folders whose clock reads whatever the test last set.
class LogHarness {
  public:
    explicit LogHarness(std::vector<LogFolder> folders)
        : log([this] { return now; }, std::move(folders)) {}

    void Create() { log.WriteLog(kLogCreate, 0, 0, 0, 0, 0); }

    LocalTime now = kOpened;
    MeasurementLog log;
};

LogFolder FolderOf(const TempFolder& folder) {
    return [&folder] { return folder.WithSeparator(); };
}

TEST(MeasurementLogTest, RowBytesEndInCarriageReturnLineFeed) {
    struct Case {
        int32_t hours, minutes, seconds;
        char sign;
        int32_t value;
        const char* row;
    };
    const Case cases[] = {
        {0, 10, 0, '+', 10, "2024/01/05 09:13:09,0:10:00,+10\r\n"},
        {0, 0, 0, ' ', 0, "2024/01/05 09:13:09,0:00:00, 0\r\n"},
        {0, 20, 0, '-', 7, "2024/01/05 09:13:09,0:20:00,-7\r\n"},
        {1, 0, 0, '+', 12, "2024/01/05 09:13:09,1:00:00,+12\r\n"},
        {10, 0, 0, '-', 2'147'483'647, "2024/01/05 09:13:09,10:00:00,-2147483647\r\n"},
        {240, 0, 0, '+', 1'000'000, "2024/01/05 09:13:09,240:00:00,+1000000\r\n"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        LogHarness harness({FolderOf(folder)});
        harness.Create();
        harness.now = {2024, 1, 5, 9, 13, 9};
        harness.log.WriteLog(kLogAppend, c.hours, c.minutes, c.seconds, c.sign, c.value);
        EXPECT_EQ(ReadWholeFile(harness.log.Path()), c.row);
    }
}

TEST(MeasurementLogTest, RowsCarryTheTimeOfWritingAndAccumulate) {
    TempFolder folder;
    LogHarness harness({FolderOf(folder)});
    harness.Create();
    harness.now = {2024, 12, 31, 23, 59, 59};
    harness.log.WriteLog(kLogAppend, 0, 0, 0, '+', 1);
    harness.now = {2025, 1, 1, 0, 9, 59};
    harness.log.WriteLog(kLogAppend, 0, 10, 0, '-', 2);
    EXPECT_EQ(harness.log.Path(), folder.WithSeparator() + "2024.01.05_09.03.07.csv");
    EXPECT_EQ(ReadWholeFile(harness.log.Path()),
              "2024/12/31 23:59:59,0:00:00,+1\r\n2025/01/01 00:09:59,0:10:00,-2\r\n");
}

// Two openings within one second, or a clock set back, must never empty a log with rows.
TEST(MeasurementLogTest, AnExistingLogWithRowsIsKeptAndTheNextNameUsed) {
    TempFolder folder;
    LogHarness harness({FolderOf(folder)});
    const std::string first = folder.WithSeparator() + "2024.01.05_09.03.07.csv";
    const std::string second = folder.WithSeparator() + "2024.01.05_09.03.07_2.csv";
    const std::string third = folder.WithSeparator() + "2024.01.05_09.03.07_3.csv";

    harness.Create();
    harness.log.WriteLog(kLogAppend, 0, 0, 0, '+', 1);
    harness.Create();
    EXPECT_EQ(harness.log.Path(), second);
    harness.log.WriteLog(kLogAppend, 0, 0, 0, '+', 2);
    harness.Create();
    EXPECT_EQ(harness.log.Path(), third);

    EXPECT_EQ(ReadWholeFile(first), "2024/01/05 09:03:07,0:00:00,+1\r\n");
    EXPECT_EQ(ReadWholeFile(second), "2024/01/05 09:03:07,0:00:00,+2\r\n");
    EXPECT_EQ(ReadWholeFile(third), "");
}

// Two programs opening in the same second must not interleave their rows in one file.
TEST(MeasurementLogTest, AnExistingEmptyLogIsNotShared) {
    TempFolder folder;
    LogHarness first({FolderOf(folder)});
    LogHarness second({FolderOf(folder)});
    first.Create();
    second.Create();
    EXPECT_EQ(second.log.Path(), folder.WithSeparator() + "2024.01.05_09.03.07_2.csv");
    first.log.WriteLog(kLogAppend, 0, 0, 0, '+', 1);
    second.log.WriteLog(kLogAppend, 0, 0, 0, '-', 2);
    EXPECT_EQ(ReadWholeFile(first.log.Path()), "2024/01/05 09:03:07,0:00:00,+1\r\n");
    EXPECT_EQ(ReadWholeFile(second.log.Path()), "2024/01/05 09:03:07,0:00:00,-2\r\n");
}

TEST(MeasurementLogTest, FallsBackWhenTheFirstFolderTakesNoFile) {
    TempFolder fallback;
    TempFolder scratch;
    const std::string missing = scratch.WithSeparator() + "no-such-folder/";
    const std::string tooLong = scratch.WithSeparator() + std::string(5000, 'x') + "/";
    const std::vector<std::pair<const char*, LogFolder>> unusable = {
        {"missing", [&] { return missing; }},
        {"too long", [&] { return tooLong; }},
        {"unknown", [] { return std::string(); }},
    };
    for (const auto& [name, folder] : unusable) {
        LogHarness harness({folder, FolderOf(fallback)});
        harness.Create();
        EXPECT_EQ(harness.log.Path(), fallback.WithSeparator() + "2024.01.05_09.03.07.csv") << name;
        harness.log.WriteLog(kLogAppend, 0, 0, 0, ' ', 0);
        EXPECT_EQ(ReadWholeFile(harness.log.Path()), "2024/01/05 09:03:07,0:00:00, 0\r\n") << name;
        std::filesystem::remove(harness.log.Path());
    }
    bool fallbackAsked = false;
    LogHarness working({FolderOf(scratch), [&] {
                            fallbackAsked = true;
                            return std::string();
                        }});
    working.Create();
    EXPECT_FALSE(fallbackAsked) << "the fallback is asked only when the first folder fails";
}

TEST(MeasurementLogTest, WithoutAnyFolderNothingIsWrittenAndNothingFails) {
    TempFolder scratch;
    LogHarness harness({[&] { return scratch.WithSeparator() + "missing/"; }});
    harness.Create();
    EXPECT_EQ(harness.log.Path(), "");
    harness.log.WriteLog(kLogAppend, 0, 0, 0, '+', 1);
    EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()));
}

}  // namespace
}  // namespace cyclara::testing
