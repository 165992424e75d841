// A month unattended, in virtual time: a wandering grid's pulses through the window's pulse
// measurement, the pipeline and the record, statistics, events and epoch outputs, with the
// device pulled out and back every third day, the logger restarted every week (once while the
// clock was not synchronised), and the disk full across a UTC midnight. Checked: every pulse
// delivered is in the record exactly once, the statistics hold every reading and every file
// its header, and the grid time goes on across each restart, or starts again, said, where it
// must. Seeded by CYCLARA_SOAK_SEED; CYCLARA_SOAK_DAYS shortens it.
#include "grid/pulse_pipeline.h"
#include "logger/epoch/epoch_file.h"
#include "logger/influx/influx_output.h"
#include "logger/mqtt/mqtt_output.h"
#include "logger/output/delivery_schedule.h"
#include "logger/outputs.h"
#include "logger/pulse_dispatch.h"
#include "measure/log_files.h"
#include "measure/measurement_log.h"
#include "measure/pulse_state.h"
#include "measure/time_spans.h"
#include "measure/wall_clock.h"
#include "record/record_file.h"
#include "tests/temp_folder.h"
#include "tests/virtual_clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace cyclara::logger {
namespace {

constexpr int64_t kUtcAtZeroNs = 1'796'601'600 * kSecondNs;  // 2026-12-07T00:00:00Z

int64_t FromEnvironment(const char* name, int64_t otherwise) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::atoll(text) : otherwise;
}

// One run of the logger: its outputs, its pipeline, the window's measurement feeding it.
class LoggerRun {
  public:
    // `network` takes each record after the local outputs, on the same thread.
    LoggerRun(testing::VirtualClock& clock, const LoggerOptions& options, StopRequest& stop,
              std::function<void(const PulseReport&)> network)
        : m_kept(TakeKeptEpoch(options.recordDir)),
          m_outputs(OpenOutputs(options, "", stop).outputs),
          m_pipeline(clock, {50, options.grid, m_kept.state, !m_kept.damage.empty()},
                     [this, network](const PulseReport& report) {
                         for (const std::unique_ptr<Output>& output : m_outputs) {
                             output->TakeWaiting({report});
                         }
                         network(report);
                     }),
          m_dispatch(m_pipeline, 0, stop),
          m_log(SystemLocalTime, {}),
          m_pulses(m_dispatch, m_log) {}

    // A month in seconds floods the outputs as a month in real time never does: what a stop
    // leaves to them is delivered before the close's bound, as at a pulse a second it would be.
    ~LoggerRun() {
        m_pipeline.Event(EventOfKind(RunEvent::Kind::kStop));
        DrainAndCloseOutputs(m_outputs);
    }

    void Open(const ClockState& clock) {
        m_pipeline.ClockRead(clock);
        m_dispatch.StartRun(nullptr);
        m_pulses.Reset(kSecondNs);
    }
    void Edge(int64_t ticks) {
        m_pulses.OnDsrOn(ticks);
        m_pulses.OnDsrOff();
    }
    void Event(RunEvent::Kind kind) { m_pipeline.Event(EventOfKind(kind)); }
    void Clock(const ClockState& clock) { m_pipeline.ClockRead(clock); }
    uint64_t Dropped() const {
        uint64_t dropped = 0;
        for (const std::unique_ptr<Output>& output : m_outputs) {
            dropped += output->Dropped();
        }
        return dropped;
    }

  private:
    KeptEpoch m_kept;
    std::vector<std::unique_ptr<Output>> m_outputs;
    PulsePipeline m_pipeline;
    PulseDispatch m_dispatch;
    MeasurementLog m_log;
    PulseState m_pulses;
};

// A network destination behind the real sender's schedule and policy, stepped in virtual
// time: it refuses during some spells and hangs during others (a delivery that answers only
// when the spell ends, with the failure a time-out gives).
class FakeNetwork {
  public:
    struct Spell {
        int64_t fromNs, toNs;
        bool hangs;
    };

    FakeNetwork(const OutputPolicy& policy, std::vector<Spell> spells)
        : m_policy(policy),
          m_spells(std::move(spells)),
          m_schedule(std::make_unique<DeliverySchedule>(policy)) {}

    // Stepped once a second by the script, as a thread woken by its batch's time would be.
    void Take(const PulseReport& report) {
        m_schedule->Push(report);
        ++m_taken;
        m_mostQueued = std::max(m_mostQueued, m_schedule->Queued());
    }

    void Step(int64_t nowNs) {
        if (m_hung) {
            if (nowNs < m_hungUntilNs) {
                return;
            }
            m_schedule->Handle({0, Delivery::Trouble::kPassing, "timed out"}, std::move(*m_hung),
                               nowNs);
            m_hung.reset();
        }
        while (std::optional<DeliverySchedule::Batch> batch = m_schedule->TakeDue(nowNs)) {
            const auto spell = std::find_if(m_spells.begin(), m_spells.end(), [nowNs](auto& s) {
                return nowNs >= s.fromNs && nowNs < s.toNs;
            });
            if (spell != m_spells.end() && spell->hangs) {
                m_hung = std::move(batch);
                m_hungUntilNs = spell->toNs;
                return;
            }
            if (spell != m_spells.end()) {
                m_schedule->Handle({0, Delivery::Trouble::kPassing, "refused"}, std::move(*batch),
                                   nowNs);
                return;
            }
            Delivered(batch->reports);
            m_schedule->Handle(Delivery::All(batch->reports.size()), std::move(*batch), nowNs);
        }
    }

    // A restart closes the sender: it delivers what it can within the close's bound, what a
    // hung delivery holds is left with it, and the next run's sender begins empty.
    void Restart(int64_t nowNs) {
        m_schedule->Close(nowNs);
        for (int64_t atNs = nowNs; !m_schedule->Settled(atNs); atNs += kSecondNs / 10) {
            Step(atNs);
        }
        m_schedule->Abandon();
        m_dropped += m_schedule->Dropped() + (m_hung ? m_hung->reports.size() : 0);
        m_hung.reset();
        m_schedule = std::make_unique<DeliverySchedule>(m_policy);
    }

    uint64_t Taken() const { return m_taken; }
    uint64_t DeliveredCount() const { return m_delivered; }
    uint64_t Dropped() const { return m_dropped; }
    size_t MostQueued() const { return m_mostQueued; }
    bool InOrder() const { return m_inOrder; }

  private:
    // A pulse's time is its own: the pulses delivered come each once, in order.
    void Delivered(const std::vector<PulseReport>& reports) {
        for (const PulseReport& report : reports) {
            if (report.pulse) {
                m_inOrder &= report.unixNanoseconds > m_lastPulseNs;
                m_lastPulseNs = report.unixNanoseconds;
            }
        }
        m_delivered += reports.size();
    }

    const OutputPolicy m_policy;
    const std::vector<Spell> m_spells;
    std::unique_ptr<DeliverySchedule> m_schedule;
    std::optional<DeliverySchedule::Batch> m_hung;
    int64_t m_hungUntilNs = 0;
    uint64_t m_taken = 0, m_delivered = 0, m_dropped = 0;
    size_t m_mostQueued = 0;
    int64_t m_lastPulseNs = 0;
    bool m_inOrder = true;
};

ClockState Discipline(ClockState::Discipline discipline) {
    ClockState state;
    state.discipline = discipline;
    return state;
}

// Every row of the record's day files, compressed or not.
std::vector<RecordRow> RecordRows(const std::string& folder) {
    std::vector<std::string> days;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 10 && name[4] == '-' && name.find(".csv") != std::string::npos) {
            days.push_back(entry.path().string());
        }
    }
    std::sort(days.begin(), days.end());
    std::vector<RecordRow> rows;
    for (const std::string& day : days) {
        const ParsedRecord parsed = ReadRecordFile(day);
        rows.insert(rows.end(), parsed.rows.begin(), parsed.rows.end());
    }
    return rows;
}

int64_t SumOfColumn(const std::string& path, const std::string& column) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    std::vector<std::string> header;
    std::stringstream names(line);
    for (std::string name; std::getline(names, name, ',');) {
        header.push_back(name);
    }
    const size_t at =
        static_cast<size_t>(std::find(header.begin(), header.end(), column) - header.begin());
    int64_t sum = 0;
    while (std::getline(file, line)) {
        std::stringstream fields(line);
        std::string field;
        for (size_t i = 0; i <= at && std::getline(fields, field, ','); ++i) {
        }
        sum += std::atoll(field.c_str());
    }
    return sum;
}

TEST(SoakTest, AMonthUnattendedLosesNoPulseAndKeepsItsGridTime) {
    const int64_t days = FromEnvironment("CYCLARA_SOAK_DAYS", 30);
    const uint64_t seed = static_cast<uint64_t>(FromEnvironment("CYCLARA_SOAK_SEED", 1));
    SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(days) + " days");
    testing::TempFolder folder;
    LoggerOptions options;
    options.recordDir = folder.WithSeparator() + "record";
    options.quiet = true;
    StopRequest stop;
    testing::VirtualClock clock(kUtcAtZeroNs);
    const ClockState synchronised = Discipline(ClockState::Discipline::kSynchronised);
    const ClockState unsynchronised = Discipline(ClockState::Discipline::kUnsynchronised);

    // Two hours refused, longer than MQTT's queue holds and well within InfluxDB's; twenty
    // minutes hung; each on a day of its own in a month, in its first day in a shorter run.
    const int64_t refusedDay = std::min<int64_t>(3, days - 1),
                  hungDay = std::min<int64_t>(8, days - 1);
    const std::vector<FakeNetwork::Spell> spells = {
        {(refusedDay * 86'400 + 14'400) * kSecondNs, (refusedDay * 86'400 + 21'600) * kSecondNs,
         false},
        {(hungDay * 86'400 + 28'800) * kSecondNs, (hungDay * 86'400 + 30'000) * kSecondNs, true}};
    FakeNetwork influx(kInfluxPolicy, spells), mqtt(kMqttPolicy, spells);
    const auto network = [&](const PulseReport& report) {
        influx.Take(report);
        mqtt.Take(report);
    };
    const auto restartNetwork = [&] {
        influx.Restart(clock.MonotonicNs());
        mqtt.Restart(clock.MonotonicNs());
    };

    std::vector<int64_t> delivered;  // the UTC times, in microseconds, the record must hold
    int64_t restarts = 0, unsynchronisedStarts = 0;
    {
        auto run = std::make_unique<LoggerRun>(clock, options, stop, network);
        run->Open(synchronised);
        int openingEdges = 0;
        double wander = 0;
        uint64_t state = seed;
        int64_t ticks = kSecondNs;
        // The disk full from ten seconds before the first midnight to a minute after it; in a
        // run of one day, for as long at its noon.
        const int64_t fullFrom = days > 1 ? 86'390 : 43'190;
        for (int64_t second = 1; second < days * 86'400; ++second) {
            // A grid wandering within a few tenths of a hertz, as one does over a month.
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            wander = 0.999 * wander + 0.003 * (static_cast<double>(state >> 11) / 9.007e15 - 0.5);
            ticks += std::llround(kSecondNs * 50 / (50 + wander));
            clock.SetTicks(ticks);
            influx.Step(ticks);
            mqtt.Step(ticks);
            const int64_t day = second / 86'400, ofDay = second % 86'400;
            if (second == fullFrom || second == fullFrom + 70) {
                SimulateFullDisk(second == fullFrom);
            }
            const bool unsynchronisedSpell = days > 14 && (day == 13 || day == 14);
            if (ofDay == 0) {
                run->Clock(unsynchronisedSpell ? unsynchronised : synchronised);
            }
            if (day % 3 == 2 && ofDay >= 36'000 && ofDay < 36'600) {  // pulled out for 10 min
                if (ofDay == 36'000) {
                    run->Event(RunEvent::Kind::kDeviceLost);
                }
                continue;
            }
            if (day % 3 == 2 && ofDay == 36'600) {
                run->Event(RunEvent::Kind::kDeviceBack);
                run->Open(unsynchronisedSpell ? unsynchronised : synchronised);
                openingEdges = 0;
                unsynchronisedStarts += unsynchronisedSpell ? 1 : 0;
            }
            if (day % 7 == 6 && ofDay >= 10'800 && ofDay < 10'830) {  // a restart, 30 s away
                if (ofDay == 10'800) {
                    run.reset();
                    restartNetwork();
                    ++restarts;
                    unsynchronisedStarts += unsynchronisedSpell ? 1 : 0;
                }
                continue;
            }
            if (!run) {
                run = std::make_unique<LoggerRun>(clock, options, stop, network);
                run->Open(unsynchronisedSpell ? unsynchronised : synchronised);
                openingEdges = 0;
            }
            run->Edge(ticks);
            // The first two pulses of an opening only warm the measurement up.
            if (++openingEdges > 2) {
                delivered.push_back((kUtcAtZeroNs + ticks) / 1000);
            }
        }
        EXPECT_EQ(run->Dropped(), 0u) << "a run that waits for its outputs drops nothing";
        run.reset();
        restartNetwork();
    }
    // Each record reaches each network destination once, in order, or is counted as dropped;
    // the queue never holds more than its bound.
    for (const auto& [name, sent, policy] :
         {std::tuple{"InfluxDB", &influx, kInfluxPolicy}, std::tuple{"MQTT", &mqtt, kMqttPolicy}}) {
        EXPECT_TRUE(sent->InOrder()) << name;
        EXPECT_EQ(sent->DeliveredCount() + sent->Dropped(), sent->Taken()) << name;
        EXPECT_LE(sent->MostQueued(), policy.queueLimit) << name;
    }
    EXPECT_EQ(influx.Dropped(), 0u) << "a day of points waits while the server is away";
    EXPECT_GT(mqtt.Dropped(), 0u) << "two hours is longer than the broker's queue holds";

    const std::vector<RecordRow> rows = RecordRows(options.recordDir);
    std::map<int64_t, int> times;
    int64_t readings = 0, bridged = 0, unsynchronisedEpochs = 0;
    for (const RecordRow& row : rows) {
        bridged += row.event.rfind("bridged ", 0) == 0 ? 1 : 0;
        unsynchronisedEpochs += row.event == "new epoch: the clock is not synchronised" ? 1 : 0;
        if (row.event == "start" || row.intervalUs) {
            ++times[row.unixMicroseconds];
            readings += row.frequency ? 1 : 0;
        }
    }
    size_t missing = 0, twice = 0;
    for (const int64_t utc : delivered) {
        const auto found = times.find(utc);
        missing += found == times.end() ? 1 : 0;
        twice += found != times.end() && found->second > 1 ? 1 : 0;
    }
    EXPECT_EQ(missing, 0u) << "of " << delivered.size() << " pulses";
    EXPECT_EQ(twice, 0u);
    EXPECT_EQ(times.size(), delivered.size()) << "no row the script did not send";
    // A restart half a minute away goes on from its epoch; ten minutes away with the device
    // pulled out is too long to count; on an unsynchronised clock every start begins anew.
    const int64_t unsynchronisedRestarts = days > 14 ? 1 : 0;
    EXPECT_EQ(bridged, restarts - unsynchronisedRestarts);
    EXPECT_EQ(unsynchronisedEpochs, unsynchronisedStarts);
    const std::string statistics = options.recordDir + "/statistics/";
    // A day a restart cut is written in parts, each a row; together they hold every reading.
    EXPECT_EQ(SumOfColumn(statistics + "days.csv", "readings"), readings);
    for (const char* day : {"2026-12-07", "2026-12-08"}) {  // the full disk's two days
        EXPECT_EQ(SumOfColumn(statistics + "15min-" + day + ".csv", "readings"),
                  SumOfColumn(statistics + "10s-" + day + ".csv", "readings"))
            << day;
    }
    // Every file the logger writes begins with its header, the full disk's days' too.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(options.recordDir)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.size() > 4 && name.substr(name.size() - 4) == ".csv") {
            std::ifstream file(entry.path());
            std::string first;
            std::getline(file, first);
            EXPECT_EQ(first.rfind("utc,", 0) == 0 || first.rfind("start_utc,", 0) == 0, true)
                << entry.path() << " begins " << first;
        }
    }
}

}  // namespace
}  // namespace cyclara::logger
