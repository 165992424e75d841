#include "logger/watched_device.h"

namespace cyclara::logger {

WatchedDevice::WatchedDevice(CommDevice& device, const MeasurementLog& log, StopRequest& stop)
    : ForwardingCommDevice(device), m_log(log), m_stop(stop) {}

void WatchedDevice::PrepareWaitingThread() {
    ForwardingCommDevice::PrepareWaitingThread();
    m_logPath.set_value(m_log.Path());
}

bool WatchedDevice::WaitEvent(uint32_t& events) {
    const bool waited = ForwardingCommDevice::WaitEvent(events);
    if (!waited) {
        m_stop.Request(StopReason::kDeviceFailed);
    }
    return waited;
}

}  // namespace cyclara::logger
