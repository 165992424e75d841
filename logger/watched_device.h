// The open device as cyclara-log's receive thread uses it: every call goes to the device, and
// what the logger must learn from the receive thread is passed on as it happens.
#pragma once

#include "logger/stop_request.h"
#include "measure/measurement_log.h"
#include "serial/comm_device.h"

#include <future>
#include <string>

namespace cyclara::logger {

class WatchedDevice : public ForwardingCommDevice {
  public:
    WatchedDevice(CommDevice& device, const MeasurementLog& log, StopRequest& stop);

    // The path of the log the receive thread created as it started (empty if none could be),
    // once it has.
    std::future<std::string> LogPath() { return m_logPath.get_future(); }

    // The receive thread calls this right after it created the log.
    void PrepareWaitingThread() override;
    // A failed wait is a device gone or broken: the run ends, since a log with a silent gap
    // would look like a complete one.
    bool WaitEvent(uint32_t& events) override;

  private:
    const MeasurementLog& m_log;
    StopRequest& m_stop;
    // Set once by the receive thread, taken by the main thread.
    std::promise<std::string> m_logPath;
};

}  // namespace cyclara::logger
