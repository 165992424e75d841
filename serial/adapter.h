// What serves a serial device, and what that means for the edges' timestamps.
#pragma once

#include <string>

namespace cyclara {

struct Adapter {
    enum class Kind { kUart, kUsb, kPseudoTerminal, kUnknown };
    Kind kind = Kind::kUnknown;
    std::string driver;  // the kernel driver's name, empty where none is known
};

// By the driver's name: the native UARTs' and the usual USB adapters'.
Adapter AdapterOfDriver(const std::string& driver);

// One sentence: the adapter and what it does to the timestamps (and to the text lines).
std::string DescribeAdapter(const Adapter& adapter);

// The adapter behind `devicePath` (a /dev/serial/by-id link is followed), from the sysfs tree
// at `sysfs`.
Adapter FindAdapter(const std::string& devicePath, const std::string& sysfs = "/sys");

}  // namespace cyclara
