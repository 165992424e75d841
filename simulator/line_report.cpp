#include "simulator/line_report.h"

// termios2 gives the exact rate, also one without a B constant such as 14400.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace cyclara::simulator {

std::string DescribeLine(int fd) {
    termios2 line{};
    if (ioctl(fd, TCGETS2, &line) != 0) {
        return "unknown";
    }
    const unsigned dataBits = 5 + (line.c_cflag & CSIZE) / CS6;
    const char parity = (line.c_cflag & PARENB) == 0 ? 'N' : (line.c_cflag & PARODD) ? 'O' : 'E';
    const char stopBits = (line.c_cflag & CSTOPB) != 0 ? '2' : '1';
    return std::to_string(line.c_ospeed) + " " + std::to_string(dataBits) + parity + stopBits;
}

}  // namespace cyclara::simulator
