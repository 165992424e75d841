#include "logger/replay.h"

#include "command_line/command_line.h"
#include "grid/pulse_pipeline.h"
#include "logger/folder_lock.h"
#include "logger/outputs.h"
#include "logger/pulse_dispatch.h"
#include "measure/clock.h"
#include "measure/measurement_log.h"
#include "measure/pulse_state.h"
#include "measure/time_spans.h"
#include "record/recording.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <future>
#include <system_error>

namespace cyclara::logger {

namespace {

// The recording's own times for each edge, on a counter of 1 GHz that only moves forward.
class ReplayClock : public Clock {
  public:
    void Set(int64_t ticks, int64_t unixNs) {
        m_ticks = ticks;
        m_unixNs = unixNs;
    }
    int64_t Ticks() const { return m_ticks; }

    int64_t CounterFrequency() override { return kSecondNs; }
    int64_t CounterTicks() override { return m_ticks; }
    WallPairing PairWithUtc() override { return {m_unixNs, m_ticks}; }
    ClockState Discipline() override { return NotMeasured(); }
    std::optional<ClockPair> RawAndDisciplined() override { return std::nullopt; }
    int64_t MonotonicNs() override { return m_ticks; }

    static ClockState NotMeasured() {
        ClockState state;
        state.discipline = ClockState::Discipline::kNotMeasured;
        return state;
    }

  private:
    int64_t m_ticks = 0;
    int64_t m_unixNs = 0;
};

// A stop is looked for this often, in readings.
constexpr size_t kStopLookEvery = 4096;

// The records go to the outputs this many at a time: a lock and a wake a record, for each of
// the outputs, cost a replay more than the records' own figures.
constexpr size_t kHandOverEvery = 256;

// Gathers the pipeline's records and hands them to every output in batches.
class BatchedHandOver {
  public:
    explicit BatchedHandOver(const std::vector<std::unique_ptr<Output>>& outputs)
        : m_outputs(outputs) {
        m_pending.reserve(kHandOverEvery);
    }

    void Take(const PulseReport& report) {
        m_pending.push_back(report);
        if (m_pending.size() == kHandOverEvery) {
            Flush();
        }
    }

    void Flush() {
        for (const std::unique_ptr<Output>& output : m_outputs) {
            output->TakeWaiting(m_pending);
        }
        m_pending.clear();
    }

  private:
    const std::vector<std::unique_ptr<Output>>& m_outputs;
    std::vector<PulseReport> m_pending;
};
// The two pulses a measurement warms up on come this far apart before a stretch's first.
constexpr int64_t kWarmUpNs = kSecondNs;

struct ReadDay {
    std::optional<Recording> recording;
    std::string whyNot;
};

// The next day file is read while the one before plays: reading a day takes about as long as
// its figures do. Without a thread to spare it is read when it is wanted.
std::future<ReadDay> ReadAhead(std::filesystem::path file, int nominalHz) {
    const auto read = [file = std::move(file), nominalHz] {
        ReadDay day;
        try {
            day.recording = ReadRecording(file.string(), nominalHz, day.whyNot);
        } catch (const std::exception& error) {
            day.whyNot = file.string() + ": " + error.what();
        }
        return day;
    };
    try {
        return std::async(std::launch::async, read);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, read);
    }
}

// A folder's day files in date order, or the one file named.
std::vector<std::filesystem::path> RecordingFiles(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
        return {path};
    }
    std::vector<std::filesystem::path> days;
    for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
        const std::string name = entry.path().filename().string();
        const bool dayName = name.size() >= 14 && name[4] == '-' && name[7] == '-';
        const bool csv = name.find(".csv") != std::string::npos;
        if (dayName && csv && entry.is_regular_file(error)) {
            days.push_back(entry.path());
        }
    }
    std::sort(days.begin(), days.end());
    return days;
}

bool SameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

// Feeds one recording's seconds to the window's pulse measurement, edge by edge, on the
// recording's own times: each stretch begins as an opening does, with two pulses to warm up.
class Player {
  public:
    Player(ReplayClock& clock, PulseDispatch& dispatch)
        : m_clock(clock), m_log(SystemLocalTime, {}), m_pulses(dispatch, m_log),
          m_dispatch(dispatch) {}

    void Play(const RecordedSecond& second) {
        if (second.intervalNs == 0) {
            BeginStretch(second.unixNs);
        }
        const int64_t ticks = m_lastCountedTicks + second.intervalNs;
        Edge(ticks, second.unixNs);
        if (!second.glitch) {
            m_lastCountedTicks = ticks;
        }
    }

  private:
    void BeginStretch(int64_t unixNs) {
        m_dispatch.StartRun(nullptr);
        m_pulses.Reset(kSecondNs);
        const int64_t start = m_clock.Ticks() + 3 * kWarmUpNs;
        Edge(start - 2 * kWarmUpNs, unixNs - 2 * kWarmUpNs);
        Edge(start - kWarmUpNs, unixNs - kWarmUpNs);
        m_lastCountedTicks = start;
    }

    void Edge(int64_t ticks, int64_t unixNs) {
        m_clock.Set(ticks, unixNs);
        m_pulses.OnDsrOn(ticks);
        m_pulses.OnDsrOff();
    }

    ReplayClock& m_clock;
    MeasurementLog m_log;  // in no folder: a replay keeps no log of the window's
    PulseState m_pulses;
    PulseDispatch& m_dispatch;
    int64_t m_lastCountedTicks = 0;
};

}  // namespace

int RunReplay(const LoggerOptions& options, StopRequest& stop) {
    const std::vector<std::filesystem::path> files = RecordingFiles(options.replay);
    for (const std::filesystem::path& file : files) {
        if (SameFolder(file.parent_path(), options.recordDir)) {
            std::fprintf(stderr,
                         "cyclara-log: the replay's --record folder must not be the "
                         "recording's own: %s\n",
                         options.recordDir.c_str());
            return kExitUsage;
        }
    }
    std::string whyNot;
    const std::unique_ptr<FolderLock> recordLock = LockFolder(options.recordDir, whyNot);
    if (!recordLock) {
        std::fprintf(stderr, "cyclara-log: %s\n", whyNot.c_str());
        return kExitFolderHeld;
    }
    std::optional<Recording> recording;
    if (files.empty() || !(recording = ReadRecording(files.front().string(), options.nominal,
                                                     whyNot))) {
        std::fprintf(stderr, "cyclara-log: %s\n",
                     files.empty() ? (options.replay + " holds no day file").c_str()
                                   : whyNot.c_str());
        return 1;
    }
    OpenedOutputs opened = OpenOutputs(options, options.replay, stop);
    if (!opened.whyNot.empty()) {
        std::fprintf(stderr, "cyclara-log: %s\n", opened.whyNot.c_str());
        return opened.exitCode;
    }
    const std::vector<std::unique_ptr<Output>> outputs = std::move(opened.outputs);
    ReplayClock clock;
    BatchedHandOver handOver(outputs);
    PulsePipeline pipeline(clock, {recording->nominalHz, options.grid, std::nullopt},
                           [&handOver](const PulseReport& report) { handOver.Take(report); });
    pipeline.ClockRead(ReplayClock::NotMeasured());
    PulseDispatch dispatch(pipeline, 0, stop);
    Player player(clock, dispatch);
    const int64_t startedNs = SystemClock().MonotonicNs();
    size_t readings = 0;
    int code = 0;
    std::future<ReadDay> next;
    for (size_t i = 0; i < files.size() && code == 0; ++i) {
        if (i > 0) {
            ReadDay read = next.get();
            if (!(recording = std::move(read.recording))) {
                std::fprintf(stderr, "cyclara-log: %s\n", read.whyNot.c_str());
                code = 1;
                break;
            }
        }
        if (i + 1 < files.size()) {
            next = ReadAhead(files[i + 1], recording->nominalHz);
        }
        std::fprintf(stderr, "cyclara-log: replaying %s: %s, %d Hz\n", files[i].string().c_str(),
                     FormName(recording->form), recording->nominalHz);
        for (const RecordedSecond& second : recording->seconds) {
            player.Play(second);
            if (++readings % kStopLookEvery == 0 &&
                stop.WaitFor(std::chrono::milliseconds(0)) != StopReason::kNone) {
                code = 1;
                break;
            }
        }
    }
    dispatch.EndRun();
    pipeline.Event(EventOfKind(RunEvent::Kind::kStop));
    handOver.Flush();
    DrainAndCloseOutputs(outputs);
    const double seconds = static_cast<double>(SystemClock().MonotonicNs() - startedNs) / kSecondNs;
    std::fprintf(stderr, "cyclara-log: replayed %zu readings in %.1f s\n", readings, seconds);
    return code;
}

}  // namespace cyclara::logger
