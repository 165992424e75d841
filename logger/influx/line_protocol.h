// InfluxDB's line protocol for a counted pulse: measurement "cyclara", the host and device as
// tags, the figures as fields, the edge's UTC time in nanoseconds.
#pragma once

#include "grid/pulse_report.h"

#include <string>

namespace cyclara::logger {

std::string LineProtocol(const PulseReport& report, const std::string& host,
                         const std::string& device);

}  // namespace cyclara::logger
