// The grid's events as an output: one line on standard error when an event starts and when it
// ends (what the journal keeps), and a row in events.csv in the record folder when it ends.
#pragma once

#include "logger/output/output.h"

#include <memory>
#include <string>

namespace cyclara::logger {

inline constexpr const char* kEventsColumns =
    "start_utc,end_utc,duration_s,band,low_hz,high_hz,extreme_hz,extreme_utc,unit";

// `recordFolder` empty keeps no events.csv. An event still open at the stop is written with
// no end, so a restart's record shows where it was when the logger went away.
std::unique_ptr<Output> OpenEventsOutput(const std::string& recordFolder,
                                         std::shared_ptr<DeliveryThread> thread = {});


}  // namespace cyclara::logger
