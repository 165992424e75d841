// The MQTT state message of a pulse: one JSON object with its UTC time and figures; a figure
// the pulse has none of is null, which Home Assistant shows as "unknown" without a warning.
#pragma once

#include "grid/pulse_report.h"

#include <nlohmann/json.hpp>

#include <string>

namespace cyclara::logger {

nlohmann::json StateObject(const PulseReport& report);
std::string StateMessage(const PulseReport& report);

}  // namespace cyclara::logger
