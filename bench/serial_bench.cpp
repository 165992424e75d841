// Figures for the Linux serial backend over a pseudo-terminal with emulated modem lines:
// stop latency, DSR timestamp latency beside a minimal waiter, the idle cost of waiting, and
// the throughput of the pulse path. Prints medians and percentiles; asserts nothing.
#include "logger/network_outputs.h"
#include "grid/pulse_pipeline.h"
#include "logger/output/output.h"
#include "measure/clock.h"
#include "logger/record/record_output.h"
#include "measure/counted_pulse.h"
#include "measure/counter.h"
#include "measure/line_assembler.h"
#include "measure/measurement_log.h"
#include "measure/receive_thread.h"
#include "serial/serial_port.h"
#include "simulator/modem_control.h"
#include "simulator/pty.h"
#include "tests/fake_comm_device.h"
#include "tests/recording_display.h"
#include "tests/temp_folder.h"

#include <pthread.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace cyclara;
using namespace cyclara::simulator;
using cyclara::testing::FakeCommDevice;
using cyclara::testing::PulseStep;
using cyclara::testing::WaitableDisplay;
using std::chrono::milliseconds;

struct Figures {
    double median;
    double p99;
    double max;
};

Figures Summarise(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[samples.size() * 99 / 100], samples.back()};
}

// Waits for a pulse timestamp newer than `after`, polling: the waiters being measured must
// not be woken by the measurement.
int64_t NewerThan(const std::atomic<int64_t>& latest, int64_t after) {
    int64_t ticks;
    while ((ticks = latest.load()) <= after) {
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return ticks;
}

// Forwards to the real device and keeps every pulse timestamp on its way to OnDsrOn.
// What the logger does with a pulse besides measuring it: record it, publish it.
using PulseWork = std::function<void(int64_t ticks)>;

// Keeps the latest pulse's timestamp for the bench; given work, does it first, so that its
// cost shows in the latency.
class RecordingDevice : public ForwardingCommDevice {
  public:
    RecordingDevice(CommDevice& device, PulseWork work)
        : ForwardingCommDevice(device), m_work(std::move(work)) {}
    bool ReadDsrChange(DsrChange& change) override {
        const bool read = ForwardingCommDevice::ReadDsrChange(change);
        if (read && change.pulse) {
            if (m_work) {
                m_work(change.pulseTicks);
            }
            m_latest.store(change.pulseTicks);
        }
        return read;
    }
    int64_t NextPulseAfter(int64_t after) { return NewerThan(m_latest, after); }

  private:
    const PulseWork m_work;
    std::atomic<int64_t> m_latest{0};
};

struct Bench {
    Bench()
        : modem(ModemControl::ForThisProcess()),
          slot(modem.Attach(pty.SlavePath())),
          port([this](int32_t) { return pty.SlavePath(); }),
          log(SystemLocalTime, {}),
          receiver(log, lines) {
        port.Open(1, 9600);
    }
    ~Bench() { modem.Detach(slot); }

    Pty pty;
    ModemControl& modem;
    int slot;
    CSerialPort port;
    MeasurementLog log;  // no folder: nothing is written
    LineAssembler lines;
    WaitableDisplay display;
    Receiver receiver;
};

void StopLatency() {
    Bench bench;
    std::vector<double> samples;
    int forced = 0;
    for (int cycle = 0; cycle < 200; ++cycle) {
        bench.receiver.StartThread(*bench.port.GetHandle(), bench.display);
        std::this_thread::sleep_for(milliseconds(5));  // blocked in its wait by now
        const int64_t start = ReadCounter();
        bench.receiver.EndThread();
        samples.push_back((ReadCounter() - start) / 1000.0);
        forced += bench.receiver.LastStopWasForced() ? 1 : 0;
    }
    const Figures f = Summarise(samples);
    std::printf(
        "stop latency (200 stops while blocked)\tmedian %.0f us, p99 %.0f us, max %.0f us, "
        "forced %d\tthe counter read before and after EndThread on a receive thread blocked in "
        "its wait\n",
        f.median, f.p99, f.max, forced);
}

// The emulated edge's time, read just before it wakes its waiters, to the reading taken.
double EdgeLatencyMicroseconds(Bench& bench, const std::function<int64_t(int64_t)>& nextPulse,
                               int64_t& last) {
    bench.modem.SetDsr(bench.slot, true);
    const int64_t edge = bench.modem.EdgeNanoseconds(bench.slot);
    last = nextPulse(last);
    bench.modem.SetDsr(bench.slot, false);
    std::this_thread::sleep_for(milliseconds(1));
    return (last - edge) / 1000.0;
}

// The least a program can do: block in the driver's wait, read the counter on return; at the
// watcher's own priority, so that the two compare like for like.
class MinimalWaiter {
  public:
    MinimalWaiter(const std::string& path, bool raised)
        : m_fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)),
          m_thread([this, raised] { Wait(raised); }) {}
    ~MinimalWaiter() { close(m_fd); }

    // `moveLine` ends the wait in progress, after which the waiter sees it is done.
    void Finish(const std::function<void()>& moveLine) {
        m_done = true;
        moveLine();
        m_thread.join();
    }
    int64_t NextPulseAfter(int64_t after) { return NewerThan(m_latest, after); }

  private:
    void Wait(bool raised) {
        if (raised) {
            sched_param param{};
            param.sched_priority = 1;
            pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
        }
        while (!m_done) {
            if (ioctl(m_fd, TIOCMIWAIT, TIOCM_DSR) == 0) {
                const int64_t ticks = ReadCounter();
                int status = 0;
                ioctl(m_fd, TIOCMGET, &status);
                if (status & TIOCM_DSR) {
                    m_latest = ticks;
                }
            }
        }
    }

    const int m_fd;
    std::atomic<int64_t> m_latest{0};
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// Edges go alternately to Cyclara and to the minimal waiter, each on its own pty, so that
// whatever else the machine does falls on both alike.
void TimestampLatency(const char* what, PulseWork work) {
    constexpr int kEdges = 1000;
    std::vector<double> cyclara;
    std::vector<double> minimal;
    Bench ours;
    RecordingDevice device(*ours.port.GetHandle(), std::move(work));
    ours.receiver.StartThread(device, ours.display);
    ours.modem.WaitUntilWatched(ours.slot);
    const bool raised = device.Timing().raisedPriority;
    Bench theirs;
    theirs.port.Close();
    {
        MinimalWaiter waiter(theirs.pty.SlavePath(), raised);
        theirs.modem.WaitUntilWatched(theirs.slot);
        int64_t lastOurs = 0;
        int64_t lastTheirs = 0;
        for (int i = 0; i < kEdges; ++i) {
            cyclara.push_back(EdgeLatencyMicroseconds(
                ours, [&](int64_t after) { return device.NextPulseAfter(after); }, lastOurs));
            minimal.push_back(EdgeLatencyMicroseconds(
                theirs, [&](int64_t after) { return waiter.NextPulseAfter(after); }, lastTheirs));
        }
        waiter.Finish([&] { theirs.modem.SetDsr(theirs.slot, true); });
    }
    ours.receiver.EndThread();
    const Figures c = Summarise(cyclara);
    const Figures m = Summarise(minimal);
    std::printf(
        "timestamp latency%s (%d rising edges each, alternating)\tcyclara median %.1f us p99 "
        "%.1f us; minimal waiter median %.1f us p99 %.1f us; ratio of medians %.2f; both at %s "
        "priority\tCLOCK_MONOTONIC just before the emulated edge wakes its waiters, to the "
        "timestamp the waiter took\n",
        what, kEdges, c.median, c.p99, m.median, m.p99, c.median / m.median,
        raised ? "real-time" : "normal");
}

// What cyclara-log adds to each pulse on the receive thread: the figures, the UTC time and
// handing the record to each output's queue (here the per-pulse record's, whose file is
// written on its own thread).
void RecordCost() {
    constexpr int kPulses = 20'000;
    cyclara::testing::TempFolder folder;
    const auto record = cyclara::logger::OpenRecordOutput(folder.Path().string());
    cyclara::PulsePipeline dispatch(cyclara::SystemClock(), {50, {}, std::nullopt},
                                    [&record](const cyclara::PulseReport& report) {
                                        record->Take(report);
                                    });
    dispatch.StartRun(false);
    const int64_t second = ReadCounterFrequency();
    std::vector<double> costs;
    for (int32_t pulse = 1; pulse <= kPulses; ++pulse) {
        const int64_t start = ReadCounter();
        const int64_t interval = second + second / 100'000;
        dispatch.OnCountedPulse(
            cyclara::CountedPulse{pulse * interval, interval, pulse, 10, 10, second});
        costs.push_back(static_cast<double>(ReadCounter() - start) * 1e6 /
                        static_cast<double>(second));
    }
    const Figures f = Summarise(costs);
    std::printf(
        "per-pulse record, cost a pulse (%d pulses)\tmedian %.1f us, p99 %.1f us\tthe counter "
        "around each call that makes the record and hands it to the record's queue\n",
        kPulses, f.median, f.p99);
}

struct Usage {
    double cpuMilliseconds;
    long contextSwitches;
};

Usage ProcessUsage() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return {usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 +
                usage.ru_stime.tv_sec * 1e3 + usage.ru_stime.tv_usec / 1e3,
            usage.ru_nvcsw + usage.ru_nivcsw};
}

void IdleCost(const char* name, bool polled, bool pulses) {
    Bench bench;
    bench.modem.SetNoWait(bench.slot, polled);
    bench.receiver.StartThread(*bench.port.GetHandle(), bench.display);
    std::this_thread::sleep_for(milliseconds(100));
    const Usage before = ProcessUsage();
    for (int second = 0; second < 10; ++second) {
        if (pulses) {
            bench.modem.SetDsr(bench.slot, true);
            std::this_thread::sleep_for(milliseconds(100));
            bench.modem.SetDsr(bench.slot, false);
            std::this_thread::sleep_for(milliseconds(900));
        } else {
            std::this_thread::sleep_for(milliseconds(1000));
        }
    }
    const Usage after = ProcessUsage();
    bench.receiver.EndThread();
    std::printf(
        "idle cost, %s\t%.2f ms CPU a second, %.1f wake-ups a second\tgetrusage of the "
        "bench process over 10 s with the receive thread running\n",
        name,
                (after.cpuMilliseconds - before.cpuMilliseconds) / 10,
                (after.contextSwitches - before.contextSwitches) / 10.0);
}

// A display that only counts, so the figure is the measurement's own cost.
class CountingDisplay : public MeasurementDisplay {
  public:
    void SetFieldText(int, const char*) override { ++updates; }
    void SetIndicator(bool) override { ++updates; }
    int64_t updates = 0;
};

// Ten days of pulses through the real receive thread, pulse measurement and CSV log, fed a day
// at a time by a scripted device.
void Throughput() {
    constexpr int64_t kPulsesADay = 86'400;
    constexpr int kDays = 10;
    cyclara::testing::TempFolder folder;
    MeasurementLog log(SystemLocalTime, {[&] { return folder.Path().string() + "/"; }});
    LineAssembler lines;
    Receiver receiver(log, lines);
    FakeCommDevice device;
    CountingDisplay display;
    const int64_t second = ReadCounterFrequency();
    receiver.StartThread(device, display);
    double seconds = 0;
    int64_t pulse = 1;
    for (int day = 0; day < kDays; ++day) {
        std::vector<cyclara::testing::FakeStep> steps;
        for (int64_t i = 0; i < kPulsesADay; ++i, ++pulse) {
            steps.push_back(PulseStep(pulse * second + (pulse % 7) * 1000));
        }
        const int64_t start = ReadCounter();
        device.Add(std::move(steps));
        device.WaitUntilIdle();
        seconds += static_cast<double>(ReadCounter() - start) / static_cast<double>(second);
    }
    receiver.EndThread();
    std::printf(
        "throughput, %d simulated days\t%.0f pulses a second, %.1f s in all\tscripted "
        "pulses through the receive thread, pulse measurement and CSV log\n",
        kDays,
                static_cast<double>(kPulsesADay * kDays) / seconds, seconds);
}

// The timestamp latency while each pulse goes to `outputs` as cyclara-log hands it on.
void DispatchLatency(const char* label, std::vector<cyclara::logger::Output*> outputs) {
    cyclara::PulsePipeline dispatch(cyclara::SystemClock(), {50, {}, std::nullopt},
                                    [&outputs](const cyclara::PulseReport& report) {
                                        for (cyclara::logger::Output* output : outputs) {
                                            output->Take(report);
                                        }
                                    });
    dispatch.StartRun(false);
    int32_t count = 0;
    TimestampLatency(label, [&](int64_t ticks) {
        dispatch.OnCountedPulse(
            cyclara::CountedPulse{ticks, ReadCounterFrequency(), count++, 10, 10,
                                  ReadCounterFrequency()});
    });
}

// The timestamp latency while every pulse is also published to the broker and database that
// bench/process_bench.py started: serial_bench --publishing MQTT_URL INFLUX_URL.
int Publishing(const char* mqtt, const char* influx) {
    cyclara::logger::LoggerOptions options;
    options.mqtt.url = mqtt;
    options.influx.url = influx;
    options.device = "/dev/ttyUSB0";
    std::string whyNot;
    const auto outputs = cyclara::logger::OpenNetworkOutputs(options, whyNot);
    if (outputs.empty()) {
        std::fprintf(stderr, "serial_bench: %s\n", whyNot.c_str());
        return 1;
    }
    DispatchLatency(", publishing each pulse to MQTT and InfluxDB",
                    {outputs[0].get(), outputs[1].get()});
    for (const auto& output : outputs) {
        output->Close();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--publishing") {
        return Publishing(argv[2], argv[3]);
    }
    StopLatency();
    TimestampLatency("", {});
    {
        cyclara::testing::TempFolder folder;
        const auto record = cyclara::logger::OpenRecordOutput(folder.Path().string());
        DispatchLatency(", with the per-pulse record", {record.get()});
    }
    RecordCost();
    IdleCost("waiting, no pulses", false, false);
    IdleCost("waiting, 1 pulse a second", false, true);
    IdleCost("polling fallback, no pulses", true, false);
    Throughput();
    return 0;
}
