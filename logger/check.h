// cyclara-log --check: what a user runs first, and what we ask for when something looks wrong.
// Watches the device for a while and reports on everything that decides a reading's accuracy,
// each problem with what mends it.
#pragma once

#include "logger/logger_options.h"
#include "logger/stop_request.h"

namespace cyclara::logger {

// Prints the report on standard output. 0 when nothing costs accuracy, 1 when something does.
int RunCheck(const LoggerOptions& options, StopRequest& stop);

}  // namespace cyclara::logger
