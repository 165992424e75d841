// A thread that blocks in the driver's wait for a change of one modem line (DSR for the pulses,
// DCD for a reference second) and reads the counter the moment the wait returns, so the
// timestamp does not wait for the receive thread to wake.
#pragma once

#include "serial/comm_device.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace cyclara {

// The input lines a watch can follow.
enum class ModemLine { kDsr, kDcd };

class LineWatcher {
  public:
    // Bounds Stop, whatever the driver does: a USB adapter can take seconds to answer a status
    // read, and no signal ends that call.
    static constexpr std::chrono::milliseconds kStopWait{250};
    // Bounds the changes waiting for the receive thread; past it the oldest give way, so the
    // latest state of the line is never lost.
    static constexpr size_t kQueueLimit = 1024;

    // `notify` is called on the watcher thread after each change it queues and when it fails.
    LineWatcher(int fd, std::function<void()> notify, ModemLine line = ModemLine::kDsr);
    ~LineWatcher();
    LineWatcher(const LineWatcher&) = delete;
    LineWatcher& operator=(const LineWatcher&) = delete;

    // Start and Stop are called by whichever thread changes the event mask, one at a time:
    // the receive thread starts the watch, the user-interface thread stops it.
    void Start();
    // Interrupts the driver's wait and joins the thread. A thread still inside the driver
    // after kStopWait is let go: it ends on its own once the driver returns, touching nothing
    // of this object.
    void Stop();
    // Whether a thread was started and not yet stopped, though it may have ended on failure.
    bool Started() const { return m_thread.joinable(); }

    // The oldest change not yet taken.
    std::optional<DsrChange> Take();
    bool HasChange();
    // True once each time the device begins to fail a wait or a status read (removed, driver
    // error); the watch itself retries, at a falling rate, until it is stopped.
    bool TakeFailure();
    // How the latest run waits for edges, once it has begun to: the driver's TIOCMIWAIT or the
    // 1 ms polling fallback; and whether it got real-time priority.
    const char* WaitKind() const;
    bool RealTimePriority() const;
    bool NoModemLines() const;
    // Changes given up because the receive thread fell kQueueLimit behind.
    uint64_t DroppedChanges() const;

  private:
    struct Run;

    const int m_fd;
    const std::function<void()> m_notify;
    const ModemLine m_line;
    // Start and Stop's only (see above); the thread itself holds its run, not this object.
    std::thread m_thread;
    // The current run: replaced by Start, read through CurrentRun by the receive thread and by
    // reports from any thread. The mutex is held only to copy the pointer, never while taking
    // another lock. (Not std::atomic<std::shared_ptr>: libstdc++ 12 releases its internal lock
    // after a load with relaxed order, which ThreadSanitizer reports as a race.)
    std::shared_ptr<Run> CurrentRun() const;
    mutable std::mutex m_runMutex;
    std::shared_ptr<Run> m_run;
};

}  // namespace cyclara
