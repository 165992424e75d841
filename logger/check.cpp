#include "logger/check.h"

#include "logger/output/output.h"
#include "logger/pulse_dispatch.h"
#include "measure/clock.h"
#include "logger/watched_device.h"
#include "measure/clock_state.h"
#include "measure/line_assembler.h"
#include "measure/measurement_log.h"
#include "measure/receive_thread.h"
#include "serial/adapter.h"
#include "serial/serial_port.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace cyclara::logger {

namespace {

// A pulse a second, give or take a fifth, and an edge either way at the ends of the watch.
constexpr double kFewestRisesASecond = 0.8;
constexpr double kMostRisesASecond = 1.25;

// What the measurement found, kept by the check's own output.
struct Tally {
    std::mutex mutex;
    std::optional<double> sigmaSeconds;  // under `mutex`: the output's thread writes it
};

class TallyDestination : public Destination {
  public:
    explicit TallyDestination(std::shared_ptr<Tally> tally) : m_tally(std::move(tally)) {}

    Delivery Deliver(const std::vector<PulseReport>& batch, uint64_t) override {
        std::lock_guard lock(m_tally->mutex);
        for (const PulseReport& report : batch) {
            if (report.figures && report.figures->timestampNoiseSeconds) {
                m_tally->sigmaSeconds = report.figures->timestampNoiseSeconds;
            }
        }
        return Delivery::All(batch.size());
    }

  private:
    const std::shared_ptr<Tally> m_tally;
};

// One line of the report; a problem says what mends it and makes the exit code 1.
class Report {
  public:
    void Fine(const char* topic, const std::string& finding) {
        std::printf("  %-12s %s\n", topic, finding.c_str());
    }
    void Problem(const char* topic, const std::string& finding, const std::string& remedy) {
        std::printf("! %-12s %s\n  %-12s -> %s\n", topic, finding.c_str(), "", remedy.c_str());
        m_problems = true;
    }
    int ExitCode() const { return m_problems ? 1 : 0; }

  private:
    bool m_problems = false;
};

std::string Printed(const char* format, double a, double b = 0, double c = 0) {
    char text[256];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

void CheckEdges(Report& report, int64_t rises, int64_t lines, double seconds) {
    const double rate = static_cast<double>(rises) / seconds;
    const std::string edges = Printed("%.0f rising edges in %.0f s", static_cast<double>(rises),
                                      seconds);
    if (rises == 0) {
        report.Problem("DSR", "never moved",
                       "is the device powered and its cable in, and is this the port it is on?");
    } else if (rises + 1 < kFewestRisesASecond * seconds ||
               rises - 1 > kMostRisesASecond * seconds) {
        report.Problem("DSR", edges + Printed(": %.2f a second, not one", rate),
                       "a device that pulses once a second; interference on the line, or a "
                       "loose contact, also adds edges");
    } else {
        report.Fine("DSR", edges);
    }
    if (lines == 0) {
        report.Problem("text", "no line arrived",
                       "give the device's bit rate with --speed, and check the cable's data line");
    } else {
        report.Fine("text", Printed("%.0f lines", static_cast<double>(lines)));
    }
}

void CheckTiming(Report& report, const TimingReport& timing) {
    if (std::strstr(timing.wait, "polling") != nullptr) {
        report.Problem("timing path", timing.wait,
                       "edges are found by 1 ms polling; a native UART, or an adapter whose "
                       "driver waits for modem-line changes, finds them at once");
    } else {
        report.Fine("timing path", timing.wait);
    }
    if (!timing.raisedPriority) {
        report.Problem("priority", "real-time priority not granted",
                       "run it as the service, which grants it, or: sudo setcap cap_sys_nice+ep "
                       "$(command -v cyclara-log)");
    } else {
        report.Fine("priority", "real-time priority granted");
    }
    if (!timing.latencyRequest) {
        report.Problem("CPU latency", "request not granted: deep idle states delay wake-ups",
                       "let the user write /dev/cpu_dma_latency (a udev rule), or run as root");
    } else {
        report.Fine("CPU latency", "request granted");
    }
}

void CheckClockAndNoise(Report& report, const ClockState& clock, const std::optional<double>& sigma,
                        int nominal) {
    if (clock.discipline == ClockState::Discipline::kUnsynchronised) {
        report.Problem("clock", DescribeClock(clock, nominal),
                       "sudo apt install systemd-timesyncd (or chrony), then: timedatectl "
                       "set-ntp true");
    } else {
        report.Fine("clock", DescribeClock(clock, nominal));
    }
    if (!sigma) {
        report.Fine("noise", "too few unbroken seconds to tell; a longer check tells: "
                             "--check-seconds 60");
        return;
    }
    const int hertz = nominal != 0 ? nominal : 50;
    const Uncertainty reading =
        UncertaintyOf(*sigma, RateErrorPpm(clock), hertz, 1, 1, OffsetBoundSeconds(clock));
    const Uncertainty hour =
        UncertaintyOf(*sigma, RateErrorPpm(clock), hertz, 3600, 3600, OffsetBoundSeconds(clock));
    report.Fine("noise", Printed("timestamps scatter by %.1f us at most: a one-second reading is "
                                 "good to %.3f mHz, an hour's mean to %.4f mHz",
                                 *sigma * 1e6, reading.frequencyHz * 1e3,
                                 hour.meanFrequencyHz * 1e3));
}

}  // namespace

int RunCheck(const LoggerOptions& options, StopRequest& stop) {
    const std::string path = DevicePathOf(options);
    std::printf("cyclara-log check of %s\n", path.c_str());
    Report report;
    std::string whyNot;
    const std::unique_ptr<CommDevice> device = OpenCommDevice(path, options.speed, &whyNot);
    if (!device) {
        report.Problem("device", "does not open: " + whyNot,
                       whyNot.find("ermission") != std::string::npos
                           ? "sudo usermod -aG dialout $USER, then log in again"
                           : "name the port the device is on: ls /dev/serial/by-id/");
        return report.ExitCode();
    }
    report.Fine("device", "opens; " + DescribeAdapter(FindAdapter(path)));
    const auto tally = std::make_shared<Tally>();
    Output output("the check", std::make_unique<TallyDestination>(tally), OutputPolicy{});
    Clock& time = SystemClock();
    PulsePipeline pipeline(time, {options.nominal, options.grid, std::nullopt},
                           [&output](const PulseReport& report) { output.Take(report); });
    PulseDispatch dispatch(pipeline, 0, stop);
    const ClockState clock = time.Discipline();
    pipeline.ClockRead(clock);
    LineAssembler lines;
    MeasurementLog log(SystemLocalTime, {});
    WatchedDevice watched(*device, log, stop);
    Receiver receiver(log, lines);
    dispatch.StartRun(nullptr);
    receiver.StartThread(watched, dispatch);
    const auto started = std::chrono::steady_clock::now();
    stop.WaitFor(std::chrono::seconds(options.checkSeconds));
    const std::chrono::duration<double> watchedFor = std::chrono::steady_clock::now() - started;
    receiver.EndThread();
    dispatch.EndRun();
    output.Close();
    CheckEdges(report, dispatch.Rises(), dispatch.Lines(), watchedFor.count());
    CheckTiming(report, watched.Timing());
    std::lock_guard lock(tally->mutex);
    CheckClockAndNoise(report, clock, tally->sigmaSeconds, options.nominal);
    return report.ExitCode();
}

}  // namespace cyclara::logger
