// Writes each counted pulse to an InfluxDB over HTTP, in line protocol, batched. Kept like the
// archive: a day of points waits while the server is away.
#pragma once

#include "logger/logger_options.h"
#include "logger/output/output.h"

#include <memory>
#include <string>

namespace cyclara::logger {

// A day at one pulse a second, kept while the server is away; past it the oldest are dropped.
// A batch goes at most every 10 s with at most 5000 points; a failed write is tried again
// after 1 s, then twice as long each time, at most a minute; a clean exit waits 3 s.
inline constexpr OutputPolicy kInfluxPolicy{.queueLimit = 86'400,
                                            .batchLimit = 5000,
                                            .batchPeriod = std::chrono::seconds(10),
                                            .closeWait = std::chrono::seconds(3)};

// Null with `whyNot` set for a URL that is not http(s) or an unreadable token file. A server
// that is away is waited for, not an error.
std::unique_ptr<Output> OpenInfluxOutput(const LoggerOptions& options, std::string& whyNot);

}  // namespace cyclara::logger
