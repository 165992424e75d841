#include "logger/events/events_output.h"
#include "logger/influx/line_protocol.h"
#include "logger/output/output.h"
#include "record/day_compression.h"
#include "logger/record/pulse_record.h"
#include "record/record_layout.h"
#include "logger/record/record_output.h"
#include "measure/time_spans.h"
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

// What a destination was given, shared with it: a destination left behind by a close may
// outlive the test's scope.
struct Tally {
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    bool blocked = false;
    std::vector<int> delivered;
};

// Answers as its script says ("ok", "throw", "gone", "block" until released; "ok" once the
// script is spent).
class ScriptedDestination : public Destination {
  public:
    ScriptedDestination(std::vector<std::string> script, std::shared_ptr<Tally> tally)
        : m_script(std::move(script)), m_tally(std::move(tally)) {}

    Delivery Deliver(const std::vector<PulseReport>& batch, uint64_t) override {
        const std::string answer = m_next < m_script.size() ? m_script[m_next++] : "ok";
        std::unique_lock lock(m_tally->mutex);
        if (answer == "throw") {
            throw std::runtime_error("a library's surprise");
        }
        if (answer == "gone") {
            return {0, Delivery::Trouble::kGone, ""};
        }
        if (answer == "block") {
            m_tally->blocked = true;
            m_tally->released.notify_all();
            m_tally->released.wait_for(lock, 10s, [this] { return m_tally->release; });
        }
        for (const PulseReport& report : batch) {
            m_tally->delivered.push_back(static_cast<int>(report.unixNanoseconds));
        }
        return Delivery::All(batch.size());
    }

  private:
    const std::vector<std::string> m_script;
    size_t m_next = 0;
    const std::shared_ptr<Tally> m_tally;
};

std::vector<int> Delivered(Tally& tally) {
    std::lock_guard lock(tally.mutex);
    return tally.delivered;
}

// The thread around the schedule (whose timing has tests of its own): records handed over on
// another thread arrive in order, a close delivers what waits, and what a destination cannot
// take is counted, whoever shares its thread.
TEST(OutputTest, RecordsHandedOverArriveInOrderAndACloseDeliversWhatWaits) {
    const struct {
        const char* why;
        std::vector<std::string> script;
        bool shared;  // beside an output that is gone at once, on one thread
    } cases[] = {
        {"a thread of its own", {}, false},
        {"a thread shared with an output that is gone", {}, true},
        {"an exception costs its batch only", {"throw"}, false},
    };
    for (const auto& c : cases) {
        constexpr int kCount = 500;
        auto tally = std::make_shared<Tally>();
        auto lost = std::make_shared<Tally>();
        const OutputPolicy policy{.queueLimit = kCount, .batchLimit = 7, .closeWait = 10'000ms};
        const std::shared_ptr<DeliveryThread> thread =
            c.shared ? StartDeliveryThread("test") : nullptr;
        Output gone("gone", std::make_unique<ScriptedDestination>(
                                std::vector<std::string>{"gone"}, lost),
                    policy, {}, thread);
        Output output("test", std::make_unique<ScriptedDestination>(c.script, tally), policy, {},
                      thread);
        std::thread producer([&] {
            for (int n = 1; n <= kCount; ++n) {
                gone.Take(Numbered(n));
                output.Take(Numbered(n));
            }
        });
        producer.join();
        output.Close();
        gone.Close();
        const std::vector<int> delivered = Delivered(*tally);
        ASSERT_FALSE(delivered.empty()) << c.why;
        // Those that came through are the last ones, in order: a refusal costs only the first.
        std::vector<int> expected(delivered.size());
        std::iota(expected.begin(), expected.end(), kCount - static_cast<int>(delivered.size()) + 1);
        EXPECT_EQ(delivered, expected) << c.why;
        EXPECT_EQ(output.Refused(), kCount - delivered.size()) << c.why;
        EXPECT_EQ(output.Dropped(), 0u) << c.why;
        EXPECT_EQ(gone.Dropped(), static_cast<uint64_t>(kCount)) << c.why;
    }
}

TEST(OutputTest, ADestinationHeldPastTheCloseIsLeftBehindWithWhatWaits) {
    auto tally = std::make_shared<Tally>();
    {
        Output output("held", std::make_unique<ScriptedDestination>(
                                  std::vector<std::string>{"block"}, tally),
                      {.queueLimit = 10, .batchLimit = 1, .closeWait = 100ms});
        output.Take(Numbered(1));
        {
            std::unique_lock lock(tally->mutex);
            ASSERT_TRUE(tally->released.wait_for(lock, 10s, [&] { return tally->blocked; }));
        }
        output.Take(Numbered(2));
        output.Take(Numbered(3));
        output.Close();
        EXPECT_EQ(output.Dropped(), 2u) << "the two behind the held one";
    }
    std::lock_guard lock(tally->mutex);
    tally->release = true;
    tally->released.notify_all();
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
    // clock stepped back) are added to it, under its one header, once a later day's row comes
    // again.
    const std::string firstDay = folder.WithSeparator() + "2026-12-07.csv";
    EXPECT_FALSE(std::filesystem::exists(firstDay));
    ASSERT_TRUE(restarted.Append("2026-12-07", "late\n"));
    ASSERT_TRUE(restarted.Append("2026-12-08", "on time\n"));
    std::string text;
    ASSERT_TRUE(ReadDayText(firstDay + ".gz", 1 << 20, text));
    EXPECT_EQ(Lines(text), (std::vector<std::string>{kRecordColumns, "before midnight", "late"}));
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

// A run stopped during an excursion writes it without an end, so the record shows where it was
// when the logger went away; the next run tells the excursions it sees whole.
TEST(EventsOutputTest, AnExcursionOpenAtTheStopIsWrittenWithoutItsEnd) {
    constexpr int64_t kMidnightNs = 1'796'688'000'000'000'000;  // 2026-12-08T00:00:00Z
    const Excursion alert{"alert", 49.9, 50.1, kMidnightNs - 5 * kSecondNs, 0, 49.75,
                          kMidnightNs - 5 * kSecondNs};
    Excursion standard = alert;
    standard.band = "standard range";
    Excursion standardEnded = standard;
    standardEnded.endNs = kMidnightNs - 2 * kSecondNs;
    const struct {
        const char* name;
        std::vector<PulseReport::BandEvent> events;
        std::vector<std::string> rows;  // events.csv's after the run's stop
    } runs[] = {
        {"stopped with one open and one ended",
         {{true, alert}, {true, standard}, {false, standardEnded}},
         {kEventsColumns,
          "2026-12-07T23:59:55.000000Z,2026-12-07T23:59:58.000000Z,3,standard range,49.900,"
          "50.100,49.750,2026-12-07T23:59:55.000000Z,Hz",
          "2026-12-07T23:59:55.000000Z,,,alert,49.900,50.100,49.750,"
          "2026-12-07T23:59:55.000000Z,Hz"}},
        {"the next run's excursion, ended, after them",
         {{true, standard}, {false, standardEnded}},
         {kEventsColumns,
          "2026-12-07T23:59:55.000000Z,2026-12-07T23:59:58.000000Z,3,standard range,49.900,"
          "50.100,49.750,2026-12-07T23:59:55.000000Z,Hz",
          "2026-12-07T23:59:55.000000Z,,,alert,49.900,50.100,49.750,"
          "2026-12-07T23:59:55.000000Z,Hz",
          "2026-12-07T23:59:55.000000Z,2026-12-07T23:59:58.000000Z,3,standard range,49.900,"
          "50.100,49.750,2026-12-07T23:59:55.000000Z,Hz"}},
    };
    TempFolder folder;
    for (const auto& run : runs) {
        const std::unique_ptr<Output> output = OpenEventsOutput(folder.Path().string());
        PulseReport report;
        report.unixNanoseconds = kMidnightNs;
        report.bandEvents = run.events;
        output->Take(report);
        output->Drain();
        output->Close();
        EXPECT_EQ(Lines(ReadWholeFile(folder.WithSeparator() + "events.csv")), run.rows)
            << run.name;
    }
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
