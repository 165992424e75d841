// Publishes each counted pulse to an MQTT broker, with Home Assistant's discovery. A view: a
// quarter of an hour of states is kept while the broker is away, the oldest dropped beyond.
#pragma once

#include "grid/grid_bands.h"
#include "logger/logger_options.h"
#include "logger/mqtt/name_claim.h"
#include "logger/output/output.h"

#include <memory>
#include <string>
#include <vector>

namespace cyclara::logger {

// A quarter of an hour at one pulse a second. While the broker is away the queue is looked at
// again every half second; the client reconnects with its own back-off.
inline constexpr OutputPolicy kMqttPolicy{.queueLimit = 1000,
                                          .batchLimit = 100,
                                          .firstRetry = std::chrono::milliseconds(500),
                                          .longestRetry = std::chrono::milliseconds(500)};

// Makes the client and starts it connecting; null with `whyNot` set for a bad URL, topic
// prefix or client id, an unreadable password file or a client that cannot be set up. A
// broker that is away is waited for, not an error. `name` is the meter's, in the topics (unless
// one is given) and in Home Assistant's ids; `bands` are those whose states and events it tells.
std::unique_ptr<Output> OpenMqttOutput(const LoggerOptions::Mqtt& options, ClaimedName name,
                                       std::vector<Band> bands, std::string& whyNot);

}  // namespace cyclara::logger
