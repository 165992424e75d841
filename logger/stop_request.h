// Why cyclara-log stops, from whichever thread finds out first; the main thread waits for it.
#pragma once

#include <condition_variable>
#include <mutex>

namespace cyclara::logger {

enum class StopReason { kNone, kSignal, kCountReached, kOutputClosed, kDeviceFailed };

class StopRequest {
  public:
    // Any thread. The first reason stands: a failure that follows a requested stop is only
    // the stop's consequence.
    void Request(StopReason reason);

    // The main thread: blocks until a reason is given and returns it.
    StopReason Wait();

  private:
    std::mutex m_mutex;
    std::condition_variable m_given;
    // Written once by the first Request, from any thread; read by Wait.
    StopReason m_reason = StopReason::kNone;
};

}  // namespace cyclara::logger
