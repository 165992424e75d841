// Assembles the device's text lines and shows the figure of a line such as "60Hz\r\n".
#pragma once

#include <array>
#include <cstdint>

namespace cyclara {

class MeasurementDisplay;

// The buffer is never cleared and the position wraps at 256, so a line longer than the buffer
// overwrites it from the start and a line cut off by closing the port continues after the
// next opening. Used by the receive thread only.
class LineAssembler {
  public:
    // One received byte. A line feed ends the line, dropping the byte before it (the CR);
    // a line whose third and fourth bytes are "Hz" shows its first two in IDC_FREQ.
    void AppendLineChar(char ch, MeasurementDisplay& display);

  private:
    std::array<char, 256> m_buffer{};
    uint8_t m_position = 0;  // wraps modulo 256, so it always indexes the buffer
};

// The program's one assembler, alive for the whole run.
LineAssembler& ProcessLineAssembler();

}  // namespace cyclara
