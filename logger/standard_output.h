// cyclara-log's standard output: one tab-separated row per counted pulse, the window's fields
// and the grid figures, or InfluxDB's line protocol.
#pragma once

#include "logger/output/output.h"

#include <memory>
#include <string>

namespace cyclara::logger {

// How rows are laid out: tab-separated for a pipe, as programs read them; in columns under a
// header for a person at a terminal.
enum class RowLayout { kTabs, kColumns };

// The header of the rows, for a terminal: the columns' names, each over its column.
std::string RowHeader();

// The window's fields as it shows them, without its padding: elapsed as H:MM:SS, the width,
// the signed difference ("0" without a sign) and the frequency figure, "-" while no line has
// given one; then the pulse's grid figures: the measured frequency ("-" while the nominal one
// is unknown, or for no interval) and the grid time deviation.
std::string FormatRow(const PulseReport& report, RowLayout layout = RowLayout::kTabs);

// A view: when its reader stalls, the oldest rows are dropped and counted. Rows in `layout`,
// the columns' under their header; given the device's path, line protocol tagged with it
// instead. `onClosed` runs when the reader has gone.
std::unique_ptr<Output> OpenStandardOutput(RowLayout layout, std::string lineProtocolDevice,
                                           std::function<void()> onClosed);

}  // namespace cyclara::logger
