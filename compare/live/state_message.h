// A meter's state as cyclara-log publishes it to a broker, read back for the comparison.
#pragma once

#include "compare/live/live_meters.h"

#include <optional>
#include <string>
#include <string_view>

namespace cyclara::compare {

// The state's pulse time, frequency, clock and uncertainty; none for a message that is no
// state (no UTC time, not JSON).
std::optional<StateReading> ReadState(std::string_view payload);

// The meter a state topic belongs to: "cyclara/kitchen/state" is "cyclara/kitchen"; none for a
// topic that is no meter's state.
std::optional<std::string> MeterOfTopic(std::string_view topic);

}  // namespace cyclara::compare
