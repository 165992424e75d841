#include "logger/stop_request.h"

namespace cyclara::logger {

void StopRequest::Request(StopReason reason) {
    {
        std::lock_guard lock(m_mutex);
        if (m_reason != StopReason::kNone && m_reason != StopReason::kDeviceFailed) {
            return;
        }
        m_reason = reason;
    }
    m_given.notify_all();
}

StopReason StopRequest::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    m_given.wait_for(lock, timeout, [this] { return m_reason != StopReason::kNone; });
    return m_reason;
}

void StopRequest::ClearDeviceFailure() {
    std::lock_guard lock(m_mutex);
    if (m_reason == StopReason::kDeviceFailed) {
        m_reason = StopReason::kNone;
    }
}

StopReason StopRequest::Wait() {
    std::unique_lock lock(m_mutex);
    m_given.wait(lock, [this] { return m_reason != StopReason::kNone; });
    return m_reason;
}

}  // namespace cyclara::logger
