#include "measure/stop_signal.h"

namespace cyclara {

void StopSignal::Request() {
    // Storing under the lock orders the store against a waiter's test of its predicate, so no
    // waiter can test, miss the store and then sleep through the notification.
    {
        std::lock_guard lock(m_mutex);
        m_flag.store(1);
    }
    m_wake.notify_all();
}

bool StopSignal::Sleep(std::chrono::milliseconds duration) {
    WaitUntil([] { return false; }, duration, [] {});
    return !IsRequested();
}

}  // namespace cyclara
