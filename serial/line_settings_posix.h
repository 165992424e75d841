// The line settings of an open tty, kept apart because the kernel's termios2 header cannot
// share a translation unit with glibc's <termios.h>.
#pragma once

#include <cstdint>

namespace cyclara {

// Sets `baudRate` exactly (termios2 with BOTHER, so 14400 too; where termios2 is missing, a
// standard rate by its constant), 8 data bits, no parity, one stop bit, receiver on, modem
// lines not controlling the tty, and raw input: every byte arrives unchanged. Flow control
// and the DTR and RTS state stay as the driver has them.
bool ConfigureLine(int fd, int32_t baudRate);

}  // namespace cyclara
