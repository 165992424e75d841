#include "logger/watched_device.h"

namespace cyclara::logger {

WatchedDevice::WatchedDevice(CommDevice& device, const MeasurementLog& log, StopRequest& stop,
                             GridRecorder& grid)
    : ForwardingCommDevice(device), m_log(log), m_stop(stop), m_grid(grid) {}

void WatchedDevice::PrepareWaitingThread() {
    ForwardingCommDevice::PrepareWaitingThread();
    m_grid.StartRun();
    m_logPath.set_value(m_log.Path());
}

bool WatchedDevice::ReadDsrChange(DsrChange& change) {
    const bool read = ForwardingCommDevice::ReadDsrChange(change);
    if (read && change.pulse) {
        m_grid.OnPulse(change.pulseTicks);
    }
    return read;
}

bool WatchedDevice::WaitEvent(uint32_t& events) {
    const bool waited = ForwardingCommDevice::WaitEvent(events);
    if (!waited) {
        m_stop.Request(StopReason::kDeviceFailed);
    }
    return waited;
}

}  // namespace cyclara::logger
