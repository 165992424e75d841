#include "logger/influx/line_protocol.h"
#include "logger/output/output.h"
#include "record/day_compression.h"
#include "logger/record/pulse_record.h"
#include "record/record_layout.h"
#include "logger/record/record_output.h"
#include "tests/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace cyclara::logger {
namespace {

using namespace std::chrono_literals;
using testing::ReadWholeFile;
using testing::TempFolder;

PulseReport Numbered(int n) {
    PulseReport report;
    report.unixNanoseconds = n;
    return report;
}

// A destination that answers each delivery as its script says ("ok", "passing", "refused",
// "gone", "throw", "block"; "ok" once the script is spent) and notes what it delivered.
class ScriptedDestination : public Destination {
  public:
    ScriptedDestination(std::vector<std::string> script, std::vector<int>& delivered,
                        std::vector<uint64_t>& missed, std::mutex& mutex)
        : m_script(std::move(script)), m_delivered(delivered), m_missed(missed), m_mutex(mutex) {}

    Delivery Deliver(const std::vector<PulseReport>& batch, uint64_t missed) override {
        const std::string answer = m_next < m_script.size() ? m_script[m_next++] : "ok";
        if (answer == "throw") {
            throw std::runtime_error("a library's surprise");
        }
        if (answer == "block") {
            std::this_thread::sleep_for(3s);
        }
        std::lock_guard lock(m_mutex);
        m_missed.push_back(missed);
        if (answer == "ok" || answer == "block") {
            for (const PulseReport& report : batch) {
                m_delivered.push_back(static_cast<int>(report.unixNanoseconds));
            }
            return Delivery::All(batch.size());
        }
        const Delivery::Trouble trouble = answer == "passing"   ? Delivery::Trouble::kPassing
                                          : answer == "refused" ? Delivery::Trouble::kRefused
                                                                : Delivery::Trouble::kGone;
        return {0, trouble, ""};
    }

  private:
    const std::vector<std::string> m_script;
    size_t m_next = 0;
    std::vector<int>& m_delivered;
    std::vector<uint64_t>& m_missed;
    std::mutex& m_mutex;
};

// What becomes of records 1 to `count`, handed over at once, each answer in turn, and the
// queue's limit; what each output delivers, drops, refuses, and whether it said it was gone.
TEST(OutputTest, WhatBecomesOfTheRecords) {
    const struct {
        const char* name;
        std::vector<std::string> script;
        size_t queueLimit;
        size_t batchLimit;
        int count;
        std::vector<int> delivered;
        uint64_t dropped, refused;
        bool gone;
    } cases[] = {
        {"all in order", {}, 10, 1, 3, {1, 2, 3}, 0, 0, false},
        {"a passing failure keeps the batch", {"passing", "passing"}, 10, 5, 3, {1, 2, 3}, 0, 0,
         false},
        {"a refused batch is dropped, the next goes", {"refused"}, 10, 2, 4, {3, 4}, 0, 2, false},
        {"an exception costs its batch only", {"throw"}, 10, 2, 4, {3, 4}, 0, 2, false},
        {"a gone destination ends the output", {"gone"}, 10, 1, 3, {}, 3, 0, true},
        {"a full queue drops the oldest", {"block"}, 2, 1, 5, {1, 4, 5}, 2, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::mutex mutex;
        std::vector<int> delivered;
        std::vector<uint64_t> missed;
        std::atomic<bool> gone{false};
        OutputPolicy policy{c.queueLimit, c.batchLimit, 50ms, 1ms, 2ms, 5000ms};
        {
            Output output("test",
                          std::make_unique<ScriptedDestination>(c.script, delivered, missed,
                                                                mutex),
                          policy, [&] { gone = true; });
            for (int n = 1; n <= c.count; ++n) {
                output.Take(Numbered(n));
                // The first goes alone into the blocking delivery; the rest wait queued.
                if (n == 1 && c.script == std::vector<std::string>{"block"}) {
                    std::this_thread::sleep_for(200ms);
                }
            }
            // Closing waits for no destination that is away: let the retries happen first.
            for (int i = 0; i < 500 && !gone; ++i) {
                std::lock_guard lock(mutex);
                if (delivered == c.delivered) {
                    break;
                }
                std::this_thread::sleep_for(10ms);
            }
            output.Close();
            EXPECT_EQ(output.Dropped(), c.dropped);
            EXPECT_EQ(output.Refused(), c.refused);
        }
        std::lock_guard lock(mutex);
        EXPECT_EQ(delivered, c.delivered);
        EXPECT_EQ(gone, c.gone);
        if (!c.gone) {
            EXPECT_EQ(std::accumulate(missed.begin(), missed.end(), uint64_t{0}), c.dropped)
                << "the destination is told of each gap";
        }
    }
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

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
    EXPECT_EQ(Lines(ReadWholeFile(secondDay)),
              (std::vector<std::string>{kRecordColumns, "after midnight", "after the restart"}));
    // The day before was compressed once the new one began; rows that came late for it (the
    // clock stepped back) are added to it once a later day's row comes again.
    const std::string firstDay = folder.WithSeparator() + "2026-12-07.csv";
    EXPECT_FALSE(std::filesystem::exists(firstDay));
    ASSERT_TRUE(restarted.Append("2026-12-07", "late\n"));
    ASSERT_TRUE(restarted.Append("2026-12-08", "on time\n"));
    std::string text;
    ASSERT_TRUE(ReadDayText(firstDay + ".gz", 1 << 20, text));
    EXPECT_EQ(Lines(text), (std::vector<std::string>{kRecordColumns, "before midnight",
                                                     kRecordColumns, "late"}));
    EXPECT_FALSE(std::filesystem::exists(firstDay));
    EXPECT_FALSE(ReadDayText(firstDay + ".gz", 10, text)) << "more text than the limit";
    std::ofstream(firstDay + ".gz", std::ios::binary | std::ios::in | std::ios::out)
        .seekp(20) << "damage";
    EXPECT_FALSE(ReadDayText(firstDay + ".gz", 1 << 20, text)) << "a damaged file";
}

// A day an older layout began goes on in a file of its own; the old file is left as it was.
TEST(PulseRecordTest, ADayBegunByAnOlderLayoutGoesOnBesideIt) {
    TempFolder folder;
    const std::string older = "# cyclara-log record, layout 2\nutc,seconds,interval_us,"
                              "frequency_hz,mean_frequency_hz,grid_time_deviation_s,event,"
                              "frequency_uncertainty_hz,clock\nan older row\n";
    std::ofstream(folder.WithSeparator() + "2026-12-07.csv", std::ios::binary) << older;
    PulseRecord record(folder.WithSeparator());
    ASSERT_TRUE(record.Append("2026-12-07", "a row of today's layout\n"));
    EXPECT_EQ(ReadWholeFile(folder.WithSeparator() + "2026-12-07.csv"), older);
    EXPECT_EQ(Lines(ReadWholeFile(folder.WithSeparator() + "2026-12-07-2.csv")),
              (std::vector<std::string>{kRecordColumns, "a row of today's layout"}));
}

TEST(LineProtocolTest, ABandLeftOrReEnteredIsAPointOfItsOwnMeasurementTaggedByTheBand) {
    PulseReport report;
    report.unixNanoseconds = 1'796'601'600'000'000'000;
    const Excursion excursion{"alert (100 mHz, 5 min)", 49.9, 50.1, report.unixNanoseconds -
                              300'000'000'000, report.unixNanoseconds, 49.8772,
                              report.unixNanoseconds - 120'000'000'000};
    report.bandEvents = {{true, excursion}, {false, excursion}};
    const std::string lines = LineProtocol(report, "meter", "/dev/ttyUSB0");
    const std::string tags = "cyclara_event,host=meter,device=/dev/ttyUSB0,band=alert\\ "
                             "(100\\ mHz\\,\\ 5\\ min),unit=Hz ";
    const std::string common = "low=49.900,high=50.100,extreme=49.877,extreme_time="
                               "\"2026-12-06T23:58:00.000000Z\",start_time="
                               "\"2026-12-06T23:55:00.000000Z\"";
    EXPECT_NE(lines.find("\n" + tags + "state=\"started\"," + common +
                         " 1796601600000000000\n"),
              std::string::npos)
        << lines;
    EXPECT_NE(lines.find("\n" + tags + "state=\"ended\"," + common +
                         ",duration_s=300 1796601600000000000\n"),
              std::string::npos)
        << lines;
}

TEST(PulseRecordTest, RowsOfPulsesAndOfEvents) {
    PulseFigures lost;
    lost.kind = PulseFigures::Kind::kMeasured;
    lost.seconds = 3;
    lost.intervalTicks = 2'000'020'000;
    lost.lost = 1;
    lost.frequencyTenMicroHz = 4'999'950;
    lost.meanFrequencyTenMicroHz = 4'999'967;
    lost.gridTimeDeviationUs = -20;
    PulseReport pulse;
    pulse.unixNanoseconds = 1'796'601'600'000'001'000;  // 2026-12-07 00:00:00.000001 UTC
    pulse.pulse = CountedPulse{0, 0, 3, 0, 0, 1'000'000'000};
    pulse.figures = lost;
    pulse.event.kind = RunEvent::Kind::kLost;
    pulse.event.lostPulses = 1;
    pulse.uncertainty = Uncertainty{0.0014142, 0, 0};
    pulse.clock = KernelClockState(false, 50'000, 0);
    pulse.nominalHz = 50;
    EXPECT_EQ(FormatRecordRow(pulse), "2026-12-07T00:00:00.000001Z,3,2000020.000,49.99950,"
                                      "49.99967,-0.000020,lost 1,0.00141,synchronised,50,3\n");
    PulseReport event;
    event.unixNanoseconds = pulse.unixNanoseconds;
    event.event = EventOfKind(RunEvent::Kind::kDeviceLost);
    EXPECT_EQ(FormatRecordRow(event),
              "2026-12-07T00:00:00.000001Z,,,,,,device lost,,unsynchronised,,3\n");
}

// An event whose words carry `name`, to tell the rows apart.
PulseReport Event(const std::string& name) {
    PulseReport report;
    report.unixNanoseconds = 1'796'601'600'000'000'000;
    report.event = EventOfKind(RunEvent::Kind::kNoReference);
    report.event.reason = name;
    return report;
}

std::string WordsOf(const std::string& name) {
    return EventWords(Event(name));
}

// Every event the record's only day file holds, in order: the seventh column.
std::vector<std::string> Events(const std::string& folder) {
    std::vector<std::string> events;
    for (const std::string& row : Lines(ReadWholeFile(folder + "/2026-12-07.csv"))) {
        if (row != kRecordColumns) {
            std::istringstream fields(row);
            std::string event;
            for (int column = 0; column < 7; ++column) {
                std::getline(fields, event, ',');
            }
            events.push_back(event);
        }
    }
    return events;
}

// Handed to the record one by one, each written before the next is handed.
void Record(Output& record, const std::string& folder, const std::string& event) {
    record.Take(Event(event));
    for (int i = 0;
         i < 200 && (Events(folder).empty() || Events(folder).back() != WordsOf(event)); ++i) {
        std::this_thread::sleep_for(10ms);
    }
}

TEST(PulseRecordTest, ADeletedDayIsBegunAgainAndRowsWaitWhileTheFolderCannotBeWritten) {
    TempFolder folder;
    const std::string record = folder.WithSeparator() + "record";
    const std::unique_ptr<Output> output = OpenRecordOutput(record);
    Record(*output, record, "before");
    std::filesystem::remove(record + "/2026-12-07.csv");
    Record(*output, record, "after the day was deleted");
    std::filesystem::rename(record, record + ".away");
    std::ofstream(record) << "a file where the folder was";
    output->Take(Event("kept"));
    output->Take(Event("kept too"));
    std::this_thread::sleep_for(100ms);
    std::filesystem::remove(record);
    std::filesystem::rename(record + ".away", record);
    Record(*output, record, "back");
    output->Close();
    EXPECT_EQ(Events(record),
              (std::vector<std::string>{WordsOf("after the day was deleted"), WordsOf("kept"),
                                        WordsOf("kept too"), WordsOf("back")}));
    EXPECT_EQ(output->Dropped(), 0u);
}

}  // namespace
}  // namespace cyclara::logger
