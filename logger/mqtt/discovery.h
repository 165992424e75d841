// Home Assistant's MQTT discovery for a meter: its sensors, bound to the meter's availability.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace cyclara::logger {

// (topic, message) of each sensor of the meter on `host`, whose period states come on
// `summaryTopic` every `everySeconds` and whose availability on `availabilityTopic`. Three
// periods without a state and Home Assistant shows the sensors unavailable.
std::vector<std::pair<std::string, std::string>> DiscoveryMessages(
    const std::string& host, const std::string& summaryTopic,
    const std::string& availabilityTopic, int64_t everySeconds);

}  // namespace cyclara::logger
