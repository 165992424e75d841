// Writes each counted pulse to an InfluxDB over HTTP, in line protocol, batched. Kept like the
// archive: a day of points waits while the server is away.
#pragma once

#include "logger/logger_options.h"
#include "logger/output/output.h"

#include <memory>
#include <string>

namespace cyclara::logger {

// Null with `whyNot` set for a URL that is not http(s) or an unreadable token file. A server
// that is away is waited for, not an error.
std::unique_ptr<Output> OpenInfluxOutput(const LoggerOptions& options, std::string& whyNot);

}  // namespace cyclara::logger
