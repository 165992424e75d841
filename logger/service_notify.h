// What cyclara-log tells a service manager that watches it (systemd's Type=notify with a
// watchdog): that it measures, how it is, and that it still moves. Without one, nothing.
#pragma once

#include <string>

namespace cyclara::logger {

void NotifyReady(const std::string& status);
void NotifyStatus(const std::string& status);
void NotifyAlive();
void NotifyStopping();

}  // namespace cyclara::logger
