// Home Assistant's MQTT discovery for a meter: its sensors, bound to the meter's availability.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace cyclara::logger {

// A state comes every second; ten without one and Home Assistant shows the sensors unavailable.
inline constexpr int kExpireAfterSeconds = 10;

// (topic, message) of each sensor of the meter on `host`, whose states are published on
// `stateTopic` and whose availability on `availabilityTopic`.
std::vector<std::pair<std::string, std::string>> DiscoveryMessages(
    const std::string& host, const std::string& stateTopic, const std::string& availabilityTopic);

}  // namespace cyclara::logger
