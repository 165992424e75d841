// Who runs what. The receive thread starts the watch, with its first event mask that holds
// DSR (Receiver::ReceiveThread). The thread that ends the receive thread stops it, with the
// mask without DSR that EndThread sets (the user-interface thread in the window, the main
// thread in cyclara-log), and the device's destructor stops it last. The watcher thread only
// waits in the driver, timestamps, queues and notifies; the receive thread takes the changes
// and failures (Take, TakeFailure); any thread may read the reports (WaitKind,
// RealTimePriority, NoModemLines, DroppedChanges).
#include "serial/line_watcher_posix.h"

#include "measure/counter.h"
#include "measure/drop_oldest_queue.h"
#include "serial/dsr_transitions.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>

namespace cyclara {

namespace {

// Interrupts the watcher's blocking ioctl. Its handler is installed without SA_RESTART, so the
// kernel ends the wait with EINTR instead of restarting it.
int WakeSignal() {
    return SIGRTMIN + 1;
}

void IgnoreWakeSignal(int) {}

void InstallWakeHandler() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_handler = IgnoreWakeSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(WakeSignal(), &action, nullptr);
    });
}

// A low real-time priority lets the watcher run the moment the driver wakes it, ahead of
// ordinary work. Without the privilege (root or CAP_SYS_NICE) it stays at normal priority.
bool RaiseWatcherPriority() {
    sched_param param{};
    param.sched_priority = 1;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

constexpr const char* kDriverWait = "driver wait (TIOCMIWAIT)";
constexpr const char* kPollingWait = "1 ms polling (the driver has no TIOCMIWAIT)";

// A failing device is asked again after these pauses, each twice the one before: a passing
// fault is soon over, a device that is gone costs a wake-up a second.
constexpr std::chrono::milliseconds kFirstRetryPause{100};
constexpr std::chrono::milliseconds kLongestRetryPause{1000};

int StatusBit(ModemLine line) {
    return line == ModemLine::kDsr ? TIOCM_DSR : TIOCM_CD;
}

uint32_t TransitionsSoFar(ModemLine line, const serial_icounter_struct& counts) {
    return static_cast<uint32_t>(line == ModemLine::kDsr ? counts.dsr : counts.dcd);
}

// A signal (the stop's own wake-up among them) can interrupt the driver's answer: that is
// asked again, not taken for a failed device.
bool ReadLine(int fd, ModemLine line, bool& on) {
    int status = 0;
    int result = 0;
    do {
        result = ioctl(fd, TIOCMGET, &status);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        return false;
    }
    on = (status & StatusBit(line)) != 0;
    return true;
}

// What a driver answers a modem-line request it does not know.
bool DriverLacksRequest(int error) {
    return error == ENOTTY || error == EINVAL;
}

}  // namespace

// One watch, shared by the watcher object and its thread, so that a thread let go by Stop
// keeps what it touches until it ends.
struct LineWatcher::Run {
    Run(int port, ModemLine watched, std::function<void()> notifyOwner)
        : fd(port), line(watched), notify(std::move(notifyOwner)) {}
    ~Run() {
        if (fd >= 0) {
            close(fd);
        }
    }

    void Watch();
    // Each returns when the watch stops or the device fails.
    void WaitForChanges(bool wasOn);
    void PollForChanges(bool wasOn);
    void Publish(const std::optional<DsrChange>& change);
    void Fail();
    // False when the watch stopped during the pause.
    bool PauseUnlessStopped(std::chrono::milliseconds pause);

    // The watch's own duplicate of the port: a thread let go cannot reach a descriptor that
    // was closed and reused for another file.
    const int fd;
    const ModemLine line;
    // Written by Stop, read by the watcher between its waits.
    std::atomic<bool> stopping{false};
    // Set by the watcher when a failure begins, cleared by the receive thread taking it.
    std::atomic<bool> failureUntaken{false};
    // Written by the watcher, read by any thread for a report.
    std::atomic<const char*> waitKind{kWaitNotYetKnown};
    std::atomic<bool> realTime{false};
    std::atomic<bool> noModemLines{false};
    bool failing = false;    // the watcher's only
    bool linesRead = false;  // the watcher's only

    std::mutex mutex;  // guards the members below
    // Called by the watcher under the mutex; cleared by Stop when it lets the thread go, so a
    // late wake-up never reaches a device that has closed.
    std::function<void()> notify;
    // Written by the watcher, taken by the receive thread; its drop count read by any thread.
    DropOldestQueue<DsrChange> changes{kQueueLimit};
    // Set by the watcher as its last act; Stop waits for it between its wake-up signals.
    bool exited = false;
    // Signals `exited` to Stop and `stopping` to a pausing watcher.
    std::condition_variable changed;
};

void LineWatcher::Run::Watch() {
    realTime = RaiseWatcherPriority();
    std::chrono::milliseconds pause = kFirstRetryPause;
    while (!stopping) {
        bool wasOn = false;
        const bool wasFailing = failing;
        if (ReadLine(fd, line, wasOn)) {
            linesRead = true;
            WaitForChanges(wasOn);
        } else if (!linesRead && DriverLacksRequest(errno)) {
            noModemLines = true;
        }
        if (stopping) {
            break;
        }
        pause = wasFailing && failing ? std::min(pause * 2, kLongestRetryPause) : kFirstRetryPause;
        Fail();
        if (!PauseUnlessStopped(pause)) {
            break;
        }
    }
    {
        std::lock_guard lock(mutex);
        exited = true;
    }
    changed.notify_all();
}

void LineWatcher::Run::WaitForChanges(bool wasOn) {
    serial_icounter_struct last{};
    const bool counted = ioctl(fd, TIOCGICOUNT, &last) == 0;
    waitKind = kDriverWait;
    while (!stopping) {
        if (ioctl(fd, TIOCMIWAIT, StatusBit(line)) != 0) {
            if (errno == EINTR) {
                continue;
            }
            if (DriverLacksRequest(errno)) {
                PollForChanges(wasOn);
            }
            return;
        }
        // The timestamp comes first: everything after it only interprets the edge.
        const int64_t ticks = ReadCounter();
        bool isOn = false;
        if (!ReadLine(fd, line, isOn)) {
            return;
        }
        uint32_t transitions = isOn != wasOn ? 1 : 2;
        serial_icounter_struct now{};
        if (counted && ioctl(fd, TIOCGICOUNT, &now) == 0) {
            transitions = TransitionsSoFar(line, now) - TransitionsSoFar(line, last);
            last = now;
        }
        Publish(DsrChangeOfWake(wasOn, transitions, isOn, ticks));
        wasOn = isOn;
    }
}

// For drivers without TIOCMIWAIT: the line is read every millisecond, so a timestamp can be
// up to a millisecond late.
void LineWatcher::Run::PollForChanges(bool wasOn) {
    waitKind = kPollingWait;
    while (!stopping) {
        const timespec period{0, 1'000'000};
        nanosleep(&period, nullptr);
        bool isOn = false;
        if (!ReadLine(fd, line, isOn)) {
            return;
        }
        if (isOn != wasOn) {
            Publish(DsrChangeOfWake(wasOn, 1, isOn, ReadCounter()));
            wasOn = isOn;
        }
    }
}

void LineWatcher::Run::Publish(const std::optional<DsrChange>& change) {
    if (!change) {
        return;
    }
    failing = false;
    std::lock_guard lock(mutex);
    changes.Push(*change);
    if (notify) {
        notify();
    }
}

void LineWatcher::Run::Fail() {
    if (failing) {
        return;
    }
    failing = true;
    failureUntaken = true;
    std::lock_guard lock(mutex);
    if (notify) {
        notify();
    }
}

bool LineWatcher::Run::PauseUnlessStopped(std::chrono::milliseconds pause) {
    std::unique_lock lock(mutex);
    return !changed.wait_for(lock, pause, [this] { return stopping.load(); });
}

LineWatcher::LineWatcher(int fd, std::function<void()> notify, ModemLine line)
    : m_fd(fd), m_notify(std::move(notify)), m_line(line) {}

LineWatcher::~LineWatcher() {
    Stop();
}

void LineWatcher::Start() {
    InstallWakeHandler();
    // Changes queued before a restart belonged to a receive thread that has gone: a new run
    // starts empty.
    auto run = std::make_shared<Run>(fcntl(m_fd, F_DUPFD_CLOEXEC, 0), m_line, m_notify);
    {
        std::lock_guard lock(m_runMutex);
        m_run = run;
    }
    m_thread = std::thread([run] { run->Watch(); });
}

void LineWatcher::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    const std::shared_ptr<Run> run = CurrentRun();
    const auto deadline = std::chrono::steady_clock::now() + kStopWait;
    bool exited = false;
    {
        std::unique_lock lock(run->mutex);
        run->stopping = true;
        run->changed.notify_all();
        // A signal that lands just before the watcher enters the ioctl is lost, so it is sent
        // again each millisecond until the watcher has left or the bound has passed.
        while (!run->exited && std::chrono::steady_clock::now() < deadline) {
            pthread_kill(m_thread.native_handle(), WakeSignal());
            run->changed.wait_for(lock, std::chrono::milliseconds(1));
        }
        exited = run->exited;
        if (!exited) {
            run->notify = nullptr;
        }
    }
    if (exited) {
        m_thread.join();
    } else {
        m_thread.detach();
    }
}

std::shared_ptr<LineWatcher::Run> LineWatcher::CurrentRun() const {
    std::lock_guard lock(m_runMutex);
    return m_run;
}

std::optional<DsrChange> LineWatcher::Take() {
    const std::shared_ptr<Run> run = CurrentRun();
    if (!run) {
        return std::nullopt;
    }
    std::lock_guard lock(run->mutex);
    return run->changes.TakeOne();
}

bool LineWatcher::HasChange() {
    const std::shared_ptr<Run> run = CurrentRun();
    if (!run) {
        return false;
    }
    std::lock_guard lock(run->mutex);
    return !run->changes.Empty();
}

bool LineWatcher::TakeFailure() {
    const std::shared_ptr<Run> run = CurrentRun();
    return run && run->failureUntaken.exchange(false);
}

const char* LineWatcher::WaitKind() const {
    const std::shared_ptr<Run> run = CurrentRun();
    return run ? run->waitKind.load() : kWaitNotYetKnown;
}

bool LineWatcher::RealTimePriority() const {
    const std::shared_ptr<Run> run = CurrentRun();
    return run && run->realTime;
}

bool LineWatcher::NoModemLines() const {
    const std::shared_ptr<Run> run = CurrentRun();
    return run && run->noModemLines;
}

uint64_t LineWatcher::DroppedChanges() const {
    const std::shared_ptr<Run> run = CurrentRun();
    if (!run) {
        return 0;
    }
    std::lock_guard lock(run->mutex);
    return run->changes.Dropped();
}

}  // namespace cyclara
