// The outputs that go over the network: an MQTT broker, an InfluxDB.
#pragma once

#include "logger/logger_options.h"
#include "logger/output/output.h"

#include <memory>
#include <string>
#include <vector>

namespace cyclara::logger {

// The outputs the options ask for. Empty with `whyNot` set when one cannot be made (a usage
// problem, or one this build lacks); the servers need not be there yet.
std::vector<std::unique_ptr<Output>> OpenNetworkOutputs(const LoggerOptions& options,
                                                        std::string& whyNot);

// The MQTT output the options ask for. Null with `whyNot` set
// when it cannot be made.
std::unique_ptr<Output> OpenMqtt(const LoggerOptions& options, std::string& whyNot);

// The live page, when the options ask for it; `watched` are the outputs whose counts it shows.
// Null with `whyNot` set when it cannot be served.
std::unique_ptr<Output> OpenLivePage(const LoggerOptions& options,
                                     std::vector<const Output*> watched, std::string& whyNot);

}  // namespace cyclara::logger
