#include "serial/dsr_watcher_posix.h"

#include "measure/counter.h"
#include "serial/dsr_transitions.h"

#include <linux/serial.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <time.h>

#include <cerrno>

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

// A signal (the stop's own wake-up among them) can interrupt the driver's answer: that is
// asked again, not taken for a failed device.
bool ReadDsr(int fd, bool& on) {
    int status = 0;
    int result = 0;
    do {
        result = ioctl(fd, TIOCMGET, &status);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        return false;
    }
    on = (status & TIOCM_DSR) != 0;
    return true;
}

bool DriverLacksWait(int error) {
    return error == ENOTTY || error == EINVAL;
}

}  // namespace

DsrWatcher::DsrWatcher(int fd, std::function<void()> notify)
    : m_fd(fd), m_notify(std::move(notify)) {}

DsrWatcher::~DsrWatcher() {
    Stop();
}

void DsrWatcher::Start() {
    InstallWakeHandler();
    m_stopping = false;
    m_failed = false;
    {
        // Changes queued before a restart belong to the receive thread that has gone.
        std::lock_guard lock(m_mutex);
        m_exited = false;
        m_changes.clear();
    }
    m_thread = std::thread([this] { Watch(); });
}

void DsrWatcher::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    m_stopping = true;
    {
        // A signal that lands just before the watcher enters the ioctl is lost, so it is sent
        // again each millisecond until the watcher has left.
        std::unique_lock lock(m_mutex);
        while (!m_exited) {
            pthread_kill(m_thread.native_handle(), WakeSignal());
            m_exitedChanged.wait_for(lock, std::chrono::milliseconds(1));
        }
    }
    m_thread.join();
}

std::optional<DsrChange> DsrWatcher::Take() {
    std::lock_guard lock(m_mutex);
    if (m_changes.empty()) {
        return std::nullopt;
    }
    const DsrChange change = m_changes.front();
    m_changes.pop_front();
    return change;
}

bool DsrWatcher::HasChange() {
    std::lock_guard lock(m_mutex);
    return !m_changes.empty();
}

void DsrWatcher::Watch() {
    m_realTime = RaiseWatcherPriority();
    bool wasOn = false;
    if (ReadDsr(m_fd, wasOn)) {
        WaitForChanges(wasOn);
    } else {
        Fail();
    }
    {
        std::lock_guard lock(m_mutex);
        m_exited = true;
    }
    m_exitedChanged.notify_all();
}

void DsrWatcher::WaitForChanges(bool wasOn) {
    serial_icounter_struct last{};
    const bool counted = ioctl(m_fd, TIOCGICOUNT, &last) == 0;
    m_waitKind = kDriverWait;
    while (!m_stopping) {
        if (ioctl(m_fd, TIOCMIWAIT, TIOCM_DSR) != 0) {
            if (errno == EINTR) {
                continue;
            }
            if (DriverLacksWait(errno)) {
                PollForChanges(wasOn);
            } else {
                Fail();
            }
            return;
        }
        // The timestamp comes first: everything after it only interprets the edge.
        const int64_t ticks = ReadCounter();
        bool isOn = false;
        if (!ReadDsr(m_fd, isOn)) {
            Fail();
            return;
        }
        uint32_t transitions = isOn != wasOn ? 1 : 2;
        serial_icounter_struct now{};
        if (counted && ioctl(m_fd, TIOCGICOUNT, &now) == 0) {
            transitions = static_cast<uint32_t>(now.dsr) - static_cast<uint32_t>(last.dsr);
            last = now;
        }
        Publish(DsrChangeOfWake(wasOn, transitions, isOn, ticks));
        wasOn = isOn;
    }
}

// For drivers without TIOCMIWAIT: the line is read every millisecond, so a timestamp can be
// up to a millisecond late.
void DsrWatcher::PollForChanges(bool wasOn) {
    m_waitKind = kPollingWait;
    while (!m_stopping) {
        const timespec period{0, 1'000'000};
        nanosleep(&period, nullptr);
        bool isOn = false;
        if (!ReadDsr(m_fd, isOn)) {
            Fail();
            return;
        }
        if (isOn != wasOn) {
            Publish(DsrChangeOfWake(wasOn, 1, isOn, ReadCounter()));
            wasOn = isOn;
        }
    }
}

void DsrWatcher::Publish(const std::optional<DsrChange>& change) {
    if (!change) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_changes.push_back(*change);
    }
    m_notify();
}

void DsrWatcher::Fail() {
    m_failed = true;
    m_notify();
}

}  // namespace cyclara
