#include "logger/service_notify.h"

namespace cyclara::logger {

// A Windows service manager is told nothing: cyclara-log runs there from a console.
void NotifyReady(const std::string&) {}
void NotifyStatus(const std::string&) {}
void NotifyAlive() {}
void NotifyStopping() {}

}  // namespace cyclara::logger
