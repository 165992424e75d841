// Publishes each counted pulse to an MQTT broker, with Home Assistant's discovery.
#pragma once

#include "logger/pulse_sink.h"

namespace cyclara::logger {

// The state message of a pulse: one JSON object with its UTC time and figures.
std::string StateMessage(const PulseReport& report);

// Makes the client and starts it connecting; null with `whyNot` set for a bad URL or an
// unreadable password file. A broker that is away is waited for, not an error.
std::unique_ptr<PulseSink> OpenMqttSink(const LoggerOptions::Mqtt& options, std::string& whyNot);

}  // namespace cyclara::logger
