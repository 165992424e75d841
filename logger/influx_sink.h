// Writes each counted pulse to an InfluxDB over HTTP, in line protocol, batched.
#pragma once

#include "logger/pulse_sink.h"

namespace cyclara::logger {

// Null with `whyNot` set for a URL that is not http(s) or an unreadable token file. A server
// that is away is waited for, not an error.
std::unique_ptr<PulseSink> OpenInfluxSink(const LoggerOptions& options, std::string& whyNot);

}  // namespace cyclara::logger
