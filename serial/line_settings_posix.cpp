#include "serial/line_settings_posix.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <array>
#include <utility>

namespace cyclara {

namespace {

// termios2 and the classic termios share these fields.
template <class Settings>
void MakeRawEightBit(Settings& settings) {
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT) | CSIZE | PARENB | CSTOPB);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    // Software flow control would swallow 0x11 and 0x13, the rest would translate or drop
    // bytes; the device's text must reach the line assembler as it was sent.
    settings.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL |
                          IUCLC | IXON | IXOFF | IXANY | IMAXBEL);
    settings.c_oflag &= ~OPOST;
    settings.c_lflag &= ~(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
}

bool ConfigureExactRate(int fd, int32_t baudRate) {
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0) {
        return false;
    }
    MakeRawEightBit(settings);
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = static_cast<speed_t>(baudRate);
    settings.c_ospeed = static_cast<speed_t>(baudRate);
    return ioctl(fd, TCSETS2, &settings) == 0;
}

// Where termios2 is missing (qemu-user, for one), the classic rate constants; 14400 has none.
bool ConfigureStandardRate(int fd, int32_t baudRate) {
    static constexpr std::array<std::pair<int32_t, unsigned>, 11> kConstants{{
        {110, B110}, {300, B300}, {600, B600}, {1200, B1200}, {2400, B2400}, {4800, B4800},
        {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}}};
    termios settings{};
    for (const auto& [rate, constant] : kConstants) {
        if (rate == baudRate && ioctl(fd, TCGETS, &settings) == 0) {
            MakeRawEightBit(settings);
            settings.c_cflag |= constant;
            return ioctl(fd, TCSETS, &settings) == 0;
        }
    }
    return false;
}

}  // namespace

bool ConfigureLine(int fd, int32_t baudRate) {
    return ConfigureExactRate(fd, baudRate) || ConfigureStandardRate(fd, baudRate);
}

}  // namespace cyclara
