#include "logger/service_notify.h"

#include <systemd/sd-daemon.h>

namespace cyclara::logger {

void NotifyReady(const std::string& status) {
    sd_notifyf(0, "READY=1\nSTATUS=%s", status.c_str());
}

void NotifyStatus(const std::string& status) {
    sd_notifyf(0, "STATUS=%s", status.c_str());
}

void NotifyAlive() {
    sd_notify(0, "WATCHDOG=1");
}

void NotifyStopping() {
    sd_notify(0, "STOPPING=1");
}

}  // namespace cyclara::logger
