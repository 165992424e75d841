// cyclara-log: the window's measurement without the window, for a machine without a desktop.
// It opens a port, runs the same receive thread, pulse measurement, frequency lines and CSV log
// as the window, and prints one row per counted pulse on standard output.
#include "grid/pulse_pipeline.h"
#include "logger/check.h"
#include "logger/clock_reader.h"
#include "logger/console.h"
#include "logger/epoch/anchor_file.h"
#include "logger/epoch/epoch_file.h"
#include "logger/folder_lock.h"
#include "logger/logger_options.h"
#include "logger/outputs.h"
#include "logger/pipeline_watch.h"
#include "logger/pulse_dispatch.h"
#include "logger/replay.h"
#include "logger/service_notify.h"
#include "logger/watched_device.h"
#include "measure/clock.h"
#include "measure/line_assembler.h"
#include "measure/log_files.h"
#include "measure/measurement_log.h"
#include "measure/receive_thread.h"
#include "serial/adapter.h"
#include "serial/serial_port.h"

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <system_error>
#include <thread>

namespace cyclara::logger {
namespace {

// How long the start-up report waits for the receive thread to have begun watching.
constexpr std::chrono::milliseconds kStartReportWait{2000};
// A port no measuring device can drive: waiting for it, or starting again, cannot help, so the
// service unit does not restart on it.
constexpr int kExitNoModemLines = 3;
// How often a lost device is looked for.
constexpr std::chrono::milliseconds kReconnectPause{1000};
// How often the main thread looks whether the pulses move, and tells the watchdog.
constexpr std::chrono::milliseconds kLookEvery{1'000};
// How many looks between readings of the clock's state and rate (a change is an event) and
// of the grid time anchor's file.
constexpr int kLooksPerClockRead = 5;

// A folder the user named is made if it is not there, as the record's is: a new meter's first
// run finds none, and without it the run would keep no log. Unnamed, the user's data folder:
// a command-line program's own folder is a build tree or a system folder, no place for logs.
std::vector<LogFolder> LogFolders(const LoggerOptions& options) {
    if (options.logDir.empty()) {
        return {UserDataFolder};
    }
    std::error_code ignored;
    std::filesystem::create_directories(options.logDir, ignored);
    const char last = options.logDir.back();
    const std::string folder = last == '/' || last == '\\' ? options.logDir : options.logDir + "/";
    return {[folder] { return folder; }};
}

std::string PortName(const LoggerOptions& options, const std::string& path) {
    return options.port != 0 ? "COM" + std::to_string(options.port) + " (" + path + ")" : path;
}

const char* Granted(bool granted) {
    return granted ? "granted" : "not granted";
}

// Waits, within a bound, until the receive thread created its log and began to wait; the
// timing path is an event too, so the record and the live page say how each opening measured.
void ReportStart(WatchedDevice& device, PulsePipeline& pipeline) {
    const auto deadline = std::chrono::steady_clock::now() + kStartReportWait;
    std::future<std::string> logPath = device.LogPath();
    if (logPath.wait_until(deadline) != std::future_status::ready) {
        return;
    }
    const std::string path = logPath.get();
    TimingReport timing = device.Timing();
    while (timing.wait == kWaitNotYetKnown && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        timing = device.Timing();
    }
    std::fprintf(stderr, "cyclara-log: timing: %s; raised priority %s; CPU latency request %s\n",
                 timing.wait, Granted(timing.raisedPriority), Granted(timing.latencyRequest));
    RunEvent event = EventOfKind(RunEvent::Kind::kTiming);
    event.timingWait = timing.wait;
    event.realTimePriority = timing.raisedPriority;
    pipeline.Event(event);
    std::fprintf(stderr, "cyclara-log: log: %s\n",
                 path.empty() ? "none (no folder takes a new file)" : path.c_str());
}

int ReportStop(StopReason reason, const std::string& port) {
    if (reason == StopReason::kNoModemLines) {
        std::fprintf(stderr,
                     "cyclara-log: %s has no modem lines, so no measuring device can drive it; "
                     "give the serial port the device is plugged into\n",
                     port.c_str());
        return kExitNoModemLines;
    }
    if (reason == StopReason::kDeviceFailed) {
        std::fprintf(stderr, "cyclara-log: %s stopped answering (removed or failed)\n",
                     port.c_str());
        return 1;
    }
    return 0;
}

// What one receive thread touches besides the device, the line assembler and the dispatch.
struct Opening {
    Opening(CommDevice& device, const LoggerOptions& options, StopRequest& stop,
            LineAssembler& lines)
        : log(SystemLocalTime, LogFolders(options)),
          watched(device, log, stop),
          receiver(log, lines) {}

    MeasurementLog log;
    WatchedDevice watched;
    Receiver receiver;
};

// An opening that measured nothing (a device that failed at once, a stop before the first
// pulse) would leave a log with no row.
void RemoveEmptyLog(const std::string& path) {
    std::error_code error;
    if (!path.empty() && std::filesystem::file_size(path, error) == 0 && !error) {
        std::filesystem::remove(path, error);
    }
}

// Tells the watchdog the pipeline moves, and says once when the pulses stop or come back
// while the device is there.
void LookAtPipeline(PipelineWatch& watch, const PulseDispatch& dispatch, PulsePipeline& pipeline,
                    const std::string& port) {
    pipeline.Settle();
    switch (watch.Look(dispatch.Rises(), PipelineWatch::Clock::now())) {
        case PipelineWatch::Change::kQuiet:
            std::fprintf(stderr, "cyclara-log: no pulses from %s for %lld s, though it is there\n",
                         port.c_str(),
                         static_cast<long long>(PipelineWatch::kQuietAfter.count()));
            pipeline.Event(EventOfKind(RunEvent::Kind::kNoPulses));
            NotifyStatus("no pulses from " + port);
            break;
        case PipelineWatch::Change::kPulsesAgain:
            std::fprintf(stderr, "cyclara-log: pulses from %s again\n", port.c_str());
            pipeline.Event(EventOfKind(RunEvent::Kind::kPulsesAgain));
            NotifyStatus("measuring on " + port);
            break;
        case PipelineWatch::Change::kNone:
            break;
    }
    if (watch.Moving()) {
        NotifyAlive();
    }
}

// One opening of the port: a new log and measurement, until a stop or a failed device.
// kForcedEnd when the receive thread had to be ended by force: it may still be inside what it
// was given, so none of that may be destroyed, and the process must end.
// `lookNowAndThen`: what the main thread looks at every few seconds (the clock, the anchor's
// file).
StopReason MeasureUntilStopped(CommDevice& device, CommDevice* reference,
                               const LoggerOptions& options, const std::string& port,
                               StopRequest& stop, LineAssembler& lines, PulseDispatch& dispatch,
                               PulsePipeline& pipeline,
                               const std::function<void()>& lookNowAndThen) {
    auto opening = std::make_unique<Opening>(device, options, stop, lines);
    dispatch.StartRun(reference);
    opening->receiver.StartThread(opening->watched, dispatch);
    ReportStart(opening->watched, pipeline);
    NotifyReady("measuring on " + port);
    PipelineWatch watch;
    watch.Waiting(PipelineWatch::Clock::now());
    StopReason reason = StopReason::kNone;
    for (int looks = 1; (reason = stop.WaitFor(kLookEvery)) == StopReason::kNone; ++looks) {
        if (looks % kLooksPerClockRead == 0) {
            lookNowAndThen();
        }
        LookAtPipeline(watch, dispatch, pipeline, port);
    }
    if (reason == StopReason::kDeviceFailed && opening->watched.Timing().noModemLines) {
        reason = StopReason::kNoModemLines;
    }
    opening->receiver.EndThread();
    if (!opening->receiver.LastStopWasForced()) {
        dispatch.EndRun();
        RemoveEmptyLog(opening->log.Path());
    }
    const uint64_t dropped = opening->watched.Timing().droppedChanges;
    if (dropped != 0) {
        std::fprintf(stderr,
                     "cyclara-log: %llu DSR changes came faster than they were taken "
                     "and were dropped\n",
                     static_cast<unsigned long long>(dropped));
    }
    if (opening->receiver.LastStopWasForced()) {
        std::fprintf(stderr,
                     "cyclara-log: the receive thread did not stop in time and was "
                     "ended by force\n");
        static_cast<void>(opening.release());
        return StopReason::kForcedEnd;
    }
    return reason;
}

// Tries the same path once a second (a /dev/serial/by-id path follows the adapter to whatever
// ttyUSB it gets) until it opens or a stop comes.
std::unique_ptr<CommDevice> AwaitDevice(const std::string& path, int32_t speed,
                                        StopRequest& stop) {
    NotifyStatus("waiting for " + path + " to come back");
    for (;;) {
        NotifyAlive();
        if (stop.WaitFor(kReconnectPause) != StopReason::kNone) {
            return nullptr;
        }
        if (std::unique_ptr<CommDevice> device = OpenCommDevice(path, speed, nullptr)) {
            return device;
        }
    }
}

constexpr const char* kSamePortReference = "dcd";

// Another port whose DCD carries the reference, opened once: a reference that goes away later
// leaves the measurement on the clock, marked, rather than ending it.
bool OpenReferencePort(const LoggerOptions& options, std::unique_ptr<CommDevice>& port) {
    if (options.reference.empty()) {
        return true;
    }
    std::fprintf(stderr,
                 "cyclara-log: reference: a PPS on DCD of %s measures each interval once %zu "
                 "of its seconds are in\n",
                 options.reference == kSamePortReference ? "the port"
                                                         : options.reference.c_str(),
                 ReferenceSeconds::kFewestEdges);
    if (options.reference == kSamePortReference) {
        return true;
    }
    std::string whyNot;
    port = OpenCommDevice(options.reference, options.speed, &whyNot);
    if (!port) {
        std::fprintf(stderr, "cyclara-log: the reference %s does not open: %s\n",
                     options.reference.c_str(), whyNot.c_str());
    }
    return port != nullptr;
}

int Run(const LoggerOptions& options, StopRequest& stop) {
    const std::string path = DevicePathOf(options);
    const std::string port = PortName(options, path);
    std::string whyNot;
    std::unique_ptr<FolderLock> recordLock;
    if (!options.recordDir.empty() && !(recordLock = LockFolder(options.recordDir, whyNot))) {
        std::fprintf(stderr, "cyclara-log: %s\n", whyNot.c_str());
        return kExitFolderHeld;
    }
    // Every output first: an option none can take is said before the device is touched.
    OpenedOutputs opened = OpenOutputs(options, path, stop);
    if (!opened.whyNot.empty()) {
        std::fprintf(stderr, "cyclara-log: %s\n", opened.whyNot.c_str());
        return opened.exitCode;
    }
    const std::vector<std::unique_ptr<Output>> outputs = std::move(opened.outputs);
    std::unique_ptr<CommDevice> device = OpenCommDevice(path, options.speed, &whyNot);
    if (!device) {
        std::fprintf(stderr, "cyclara-log: %s does not open: %s\n", port.c_str(), whyNot.c_str());
        CloseOutputs(outputs);
        return 1;
    }
    std::unique_ptr<CommDevice> referencePort;
    if (!OpenReferencePort(options, referencePort)) {
        CloseOutputs(outputs);
        return 1;
    }
    Clock& time = SystemClock();
    const KeptEpoch kept = options.recordDir.empty() ? KeptEpoch{} : TakeKeptEpoch(options.recordDir);
    if (!kept.damage.empty()) {
        std::fprintf(stderr, "cyclara-log: %s\n", kept.damage.c_str());
    }
    PulsePipeline pipeline(
        time, {options.nominal, options.grid, kept.state, !kept.damage.empty()},
        [&outputs](const PulseReport& report) {
            for (const std::unique_ptr<Output>& output : outputs) {
                output->Take(report);
            }
        });
    PulseDispatch dispatch(pipeline, options.count, stop);
    std::fprintf(stderr, "cyclara-log: adapter: %s\n", DescribeAdapter(FindAdapter(path)).c_str());
    ClockReader clock(time, pipeline);
    std::fprintf(stderr, "cyclara-log: clock: %s\n",
                 DescribeClock(clock.Read(), options.nominal).c_str());
    std::optional<AnchorFile> anchorFile;
    if (!options.gridTimeAnchorFile.empty()) {
        anchorFile.emplace(options.gridTimeAnchorFile);
    }
    if (const std::optional<GridTimeAnchor> anchor = ParseGridTimeAnchor(options.gridTimeAnchor)) {
        pipeline.AnchorGridTime(*anchor);
    }
    const auto lookNowAndThen = [&clock, &anchorFile, &pipeline] {
        clock.Read();
        if (const std::optional<GridTimeAnchor> anchor = anchorFile ? anchorFile->Look()
                                                                    : std::nullopt) {
            pipeline.AnchorGridTime(*anchor);
        }
    };
    LineAssembler lines;
    for (;;) {
        CommDevice* reference =
            options.reference == kSamePortReference ? device.get() : referencePort.get();
        const StopReason reason = MeasureUntilStopped(*device, reference, options, port, stop,
                                                      lines, dispatch, pipeline, lookNowAndThen);
        if (reason == StopReason::kForcedEnd) {
            pipeline.Event(EventOfKind(RunEvent::Kind::kStop));
            CloseOutputs(outputs);
            // Without destroying the device, the lines, the dispatch or the pipeline: the
            // thread may still be inside them.
            std::_Exit(1);
        }
        device.reset();
        if (reason != StopReason::kDeviceFailed || options.noReconnect) {
            pipeline.Event(EventOfKind(reason == StopReason::kDeviceFailed
                                           ? RunEvent::Kind::kDeviceLost
                                           : RunEvent::Kind::kStop));
            CloseOutputs(outputs);
            return ReportStop(reason, port);
        }
        pipeline.Event(EventOfKind(RunEvent::Kind::kDeviceLost));
        std::fprintf(stderr, "cyclara-log: %s stopped answering; waiting for it to come back\n",
                     port.c_str());
        stop.ClearDeviceFailure();
        device = AwaitDevice(path, options.speed, stop);
        if (!device) {
            pipeline.Event(EventOfKind(RunEvent::Kind::kStop));
            CloseOutputs(outputs);
            return 0;
        }
        pipeline.Event(EventOfKind(RunEvent::Kind::kDeviceBack));
        std::fprintf(stderr, "cyclara-log: %s is back; a new measurement starts\n", port.c_str());
    }
}

}  // namespace
}  // namespace cyclara::logger

int main(int argc, char** argv) {
    using namespace cyclara::logger;
    LoggerOptions options;
    const int parsed = ParseLoggerOptions(argc, argv, options);
    if (parsed >= 0) {
        return parsed;
    }
    // Never destroyed: the signal forwarding thread may still be inside Request (notifying)
    // while the process exits, and a static would be destroyed under it.
    static StopRequest& stop = *new StopRequest;
    ForwardStopSignals(stop);
    const int code = options.check            ? RunCheck(options, stop)
                     : !options.replay.empty() ? RunReplay(options, stop)
                                               : Run(options, stop);
    StopSignalsDone();
    return code;
}
