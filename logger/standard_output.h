// cyclara-log's standard output: one tab-separated row per counted pulse, the window's fields
// and the grid figures, or InfluxDB's line protocol.
#pragma once

#include "logger/output/output.h"

#include <memory>
#include <string>

namespace cyclara::logger {

inline constexpr const char* kRowHeader =
    "elapsed\twidth_us\tdifference_us\tfrequency_hz\tmeasured_hz\tgrid_time_deviation_s";

// The window's fields as it shows them, without its padding: elapsed as H:MM:SS, the width,
// the signed difference ("0" without a sign) and the frequency figure, "-" while no line has
// given one; then the pulse's grid figures: the measured frequency ("-" while the nominal one
// is unknown, or for no interval) and the grid time deviation.
std::string FormatRow(const PulseReport& report);

// A view: when its reader stalls, the oldest rows are dropped and counted. `header` goes
// before the first row (empty for none); given the device's path, rows are line protocol
// tagged with it. `onClosed` runs when the reader has gone.
std::unique_ptr<Output> OpenStandardOutput(std::string header, std::string lineProtocolDevice,
                                           std::function<void()> onClosed);

}  // namespace cyclara::logger
