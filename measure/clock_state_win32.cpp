#include "measure/clock_state.h"

namespace cyclara {

// The performance counter runs from its own oscillator; Windows' time service steers only the
// time of day.
ClockState ReadClockState() {
    ClockState state;
    state.discipline = ClockState::Discipline::kNeverDisciplined;
    return state;
}

// The performance counter is the only clock: nothing slews it.
std::optional<ClockPair> ReadClockPair() {
    return std::nullopt;
}

}  // namespace cyclara
