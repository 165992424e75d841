// The name a logger publishes under. Home Assistant keeps its entities by that name, so it
// must stay the same from run to run, and two loggers on one machine must never share it: the
// first logger on a machine is the machine's host name, any other the host name and its
// device ("pi/ttyUSB1"). Each remembers what it took.
#pragma once

#include <optional>
#include <string>

namespace cyclara::logger {

struct MeterName {
    std::string name;
    std::string said;  // a sentence for standard error when the name is not the one remembered
    bool remember = false;  // a first choice, to be kept for the runs after
};

// The device's own name, as a topic level: "/dev/serial/by-id/usb-FTDI_X-if00" gives
// "usb-FTDI_X-if00"; bytes a topic or an id should not hold become '_'.
std::string DeviceInstance(const std::string& devicePath);

// `hostNameHeld`: another logger on this machine publishes under the host name now. A name
// remembered from another host name (the machine renamed) is chosen afresh.
MeterName ChooseMeterName(const std::string& host, const std::string& instance,
                          const std::optional<std::string>& remembered, bool hostNameHeld);

}  // namespace cyclara::logger
