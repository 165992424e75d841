// What cyclara-sim is told to play: the pulses' timing, the text lines, the device's faults,
// and the program it starts.
#pragma once

#include "simulator/pulse_plan.h"
#include "simulator/reference_pulses.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cyclara::simulator {

struct SimOptions {
    double periodSeconds = 1.0;
    double widthSeconds = 0.1;
    PulseShape shape;
    std::vector<int64_t> skip;
    int64_t spuriousAfter = 0;  // the pulse whose rise a spurious one follows; 0 for none
    double spuriousDelaySeconds = 0.3;
    int frequency = 50;
    int64_t lineEvery = 1;
    double lineLeadSeconds = 0;
    int noiseBytes = 0;
    std::string text;  // the line's bytes instead of the frequency's; empty for those
    bool pollingOnly = false;  // a driver without TIOCMIWAIT
    std::string clock;    // the clock state the started program reads; empty for the machine's
    std::string slew;     // "PPM:AFTER:FOR", seconds; empty for none
    std::string utcStart;  // the UTC time the started program's clock reads at the start
    std::string profile;  // a "seconds,hertz" file the grid's frequency follows; empty: none
    std::string replay;   // a recording the grid's frequency follows instead; empty: none
    ReferenceShape reference;
    int64_t count = 0;
    int64_t removeAfter = 0;
    double backAfterSeconds = 0;
    std::string as = "/dev/ttyUSB0";
    std::string group;
    std::string events;
    std::vector<std::string> command;
};

// The exit code when the run should end here (help, a usage error), else -1.
int ParseOptions(int argc, char** argv, SimOptions& o);

}  // namespace cyclara::simulator
