// Home Assistant's MQTT discovery for a meter: its sensors, bound to the meter's availability.
#pragma once

#include "grid/grid_bands.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace cyclara::logger {

// (topic, message) of each entity of the meter on `host` whose topics begin with `prefix`:
// the sensors of the period states every `everySeconds` on `<prefix>/summary`, a binary sensor
// a band (on while the frequency is outside it) and an event entity for the grid's events.
// Three periods without a state and Home Assistant shows the sensors unavailable.
std::vector<std::pair<std::string, std::string>> DiscoveryMessages(const std::string& host,
                                                                   const std::string& prefix,
                                                                   const std::vector<Band>& bands,
                                                                   int64_t everySeconds);

}  // namespace cyclara::logger
