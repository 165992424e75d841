// The stop handshake between the user-interface thread and the receive thread, and the one
// lock and condition on which every wait of the receive thread that a stop must cut short
// sleeps.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace cyclara {

class StopSignal {
  public:
    // The flag: 0 run, 1 stop requested. Stored whole by both threads, never read-modify-
    // written: the user-interface thread stores 0 before it starts a worker and 1 to request a
    // stop; the worker stores 0 as its last act; the user-interface thread stores 0 again
    // after its wait, whatever happened.
    void Clear() { m_flag.store(0); }
    void Acknowledge() { m_flag.store(0); }
    bool IsRequested() const { return m_flag.load() == 1; }

    // Stores 1 and wakes every wait below.
    void Request();

    // Runs `change` under the lock and wakes the waiters: how another thread completes what a
    // WaitUntil waits for.
    template <class Change>
    void Complete(Change change) {
        {
            std::lock_guard lock(m_mutex);
            change();
        }
        m_wake.notify_all();
    }

    // Waits until `ready()` holds (tested under the lock), a stop is requested or `timeout`
    // passes. Returns ready(); when it is false, `giveUp()` runs under the same lock, so a
    // Complete that comes later sees the wait abandoned.
    template <class Ready, class GiveUp>
    bool WaitUntil(Ready ready, std::chrono::milliseconds timeout, GiveUp giveUp) {
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, timeout, [&] { return ready() || IsRequested(); });
        return ReadyOrGiveUp(ready, giveUp);
    }

    // The same without a time limit: only `ready()` or a stop ends it.
    template <class Ready, class GiveUp>
    bool WaitUntil(Ready ready, GiveUp giveUp) {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [&] { return ready() || IsRequested(); });
        return ReadyOrGiveUp(ready, giveUp);
    }

    // Sleeps for `duration` unless a stop is requested first; false if it was.
    bool Sleep(std::chrono::milliseconds duration);

  private:
    template <class Ready, class GiveUp>
    static bool ReadyOrGiveUp(Ready& ready, GiveUp& giveUp) {
        if (ready()) {
            return true;
        }
        giveUp();
        return false;
    }

    std::atomic<int32_t> m_flag{0};
    std::mutex m_mutex;
    std::condition_variable m_wake;
};

}  // namespace cyclara
