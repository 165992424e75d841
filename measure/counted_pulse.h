// One counted pulse as the measurement made it: the numbers behind the window's fields, for
// whoever needs them as numbers rather than texts.
#pragma once

#include <cstdint>
#include <string>

namespace cyclara {

struct CountedPulse {
    int64_t edgeTicks = 0;      // the counter at the rising edge
    int64_t intervalTicks = 0;  // since the edge before; 0 for the reference pulse
    int32_t count = 0;          // intervals counted since the reference; 0 for the reference
    int32_t widthUs = 0;        // the last interval as the window shows it
    int32_t differenceUs = 0;   // the mean interval minus one second, as the window shows it
    int64_t counterFrequency = 0;
};

// The window's field texts: "    0:00:01", "1000012", "+12" (" 0" for none).
std::string ElapsedText(int32_t count);
std::string WidthText(int32_t widthUs);
std::string DifferenceText(int32_t differenceUs);

}  // namespace cyclara
