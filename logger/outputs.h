// The outputs a run of cyclara-log hands its records to, as its options ask for them.
#pragma once

#include "logger/logger_options.h"
#include "logger/output/output.h"
#include "logger/stop_request.h"

#include <memory>
#include <string>
#include <vector>

namespace cyclara::logger {

// Every output the options ask for; empty with `whyNot` set when one cannot be made. `path`
// is the device's, which InfluxDB's lines on standard output name.
std::vector<std::unique_ptr<Output>> OpenOutputs(const LoggerOptions& options,
                                                 const std::string& path, StopRequest& stop,
                                                 std::string& whyNot);

// Delivers what each output holds, within its bound, and says what any could not deliver:
// the end of the run, which the service manager is told of first.
void CloseOutputs(const std::vector<std::unique_ptr<Output>>& outputs);

}  // namespace cyclara::logger
