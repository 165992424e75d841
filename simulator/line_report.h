// What the program on the other end set on the line, as the device sees it.
#pragma once

#include <string>

namespace cyclara::simulator {

// The pty's rate and framing, such as "19200 8N1"; "unknown" if they cannot be read.
std::string DescribeLine(int fd);

}  // namespace cyclara::simulator
