// Why cyclara-log stops, from whichever thread finds out first; the main thread waits for it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace cyclara::logger {

enum class StopReason {
    kNone,
    kSignal,
    kCountReached,
    kOutputClosed,
    kDeviceFailed,
    kNoModemLines,  // a device failed, and it never was a measuring device's port
    kForcedEnd,     // the receive thread did not stop and was ended by force
};

class StopRequest {
  public:
    // Any thread. The first reason stands (a failure that follows a requested stop is only
    // the stop's consequence), except a device failure, which is waited out: any reason that
    // comes after it replaces it, so that a signal while the port closes is not lost.
    void Request(StopReason reason);

    // The main thread: blocks until a reason is given and returns it.
    StopReason Wait();
    // The same within `timeout`: kNone when none came.
    StopReason WaitFor(std::chrono::milliseconds timeout);

    // The main thread, between openings of the port: forgets a failed device, so that the
    // next opening can run; any other reason stands.
    void ClearDeviceFailure();

  private:
    std::mutex m_mutex;
    std::condition_variable m_given;
    // Written by the first Request, from any thread, and cleared by ClearDeviceFailure on the
    // main thread; read by the waits.
    StopReason m_reason = StopReason::kNone;
};

}  // namespace cyclara::logger
