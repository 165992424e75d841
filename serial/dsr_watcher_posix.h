// A thread that blocks in the driver's wait for a DSR change and reads the counter the moment
// the wait returns, so the timestamp does not wait for the receive thread to wake.
#pragma once

#include "serial/comm_device.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace cyclara {

class DsrWatcher {
  public:
    // `notify` is called on the watcher thread after each change it queues and when it fails.
    DsrWatcher(int fd, std::function<void()> notify);
    ~DsrWatcher();
    DsrWatcher(const DsrWatcher&) = delete;
    DsrWatcher& operator=(const DsrWatcher&) = delete;

    void Start();
    // Interrupts the driver's wait and joins the thread; returns within about a millisecond.
    void Stop();
    bool Running() const { return m_thread.joinable(); }

    // The oldest change not yet taken.
    std::optional<DsrChange> Take();
    bool HasChange();
    // True once the device failed a wait or a status read (removed, driver error).
    bool Failed() const { return m_failed.load(); }
    // How the latest run waits for edges, once it has begun to: the driver's TIOCMIWAIT or the
    // 1 ms polling fallback; and whether it got real-time priority.
    const char* WaitKind() const { return m_waitKind.load(); }
    bool RealTimePriority() const { return m_realTime.load(); }

  private:
    void Watch();
    void WaitForChanges(bool wasOn);
    void PollForChanges(bool wasOn);
    void Publish(const std::optional<DsrChange>& change);
    void Fail();

    const int m_fd;
    const std::function<void()> m_notify;
    std::thread m_thread;  // started and joined by the owner's thread
    // Written by Stop, read by the watcher between its waits.
    std::atomic<bool> m_stopping{false};
    // Written by the watcher, read by the receive thread.
    std::atomic<bool> m_failed{false};
    // Written by the watcher as it settles on a wait, read by any thread for a report.
    std::atomic<const char*> m_waitKind{kWaitNotYetKnown};
    std::atomic<bool> m_realTime{false};

    std::mutex m_mutex;  // guards the two below
    // Written by the watcher, taken by the receive thread.
    std::deque<DsrChange> m_changes;
    // Set by the watcher as its last act; Stop waits for it between its wake-up signals.
    bool m_exited = false;
    std::condition_variable m_exitedChanged;
};

}  // namespace cyclara
