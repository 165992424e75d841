// cyclara-log --replay: a recording analysed as if it were being measured, as fast as the
// machine allows, through the same pulse measurement, pipeline and outputs as a run.
#pragma once

#include "logger/logger_options.h"
#include "logger/stop_request.h"

namespace cyclara::logger {

// The exit code: 0 when every file was replayed, 1 when one could not be read, 2 when the
// record folder is the recording's own, 4 when another logger holds it.
int RunReplay(const LoggerOptions& options, StopRequest& stop);

}  // namespace cyclara::logger
