// The outputs a run of cyclara-log hands its records to, as its options ask for them.
#pragma once

#include "logger/logger_options.h"
#include "logger/output/output.h"
#include "logger/stop_request.h"

#include <memory>
#include <string>
#include <vector>

namespace cyclara::logger {

struct OpenedOutputs {
    std::vector<std::unique_ptr<Output>> outputs;  // none when one could not be made
    std::string whyNot;                            // empty when every one was
    // 2 for an option no output can take (a usage error), 1 for a live page that cannot
    // listen where it was told (taken, or not this machine's).
    int exitCode = 0;
};

// Every output the options ask for. `path` is the device's, which InfluxDB's lines on
// standard output name.
OpenedOutputs OpenOutputs(const LoggerOptions& options, const std::string& path,
                          StopRequest& stop);

// Delivers what each output holds, within its bound, and says what any could not deliver:
// the end of the run, which the service manager is told of first.
void CloseOutputs(const std::vector<std::unique_ptr<Output>>& outputs);
// The same, for a run that must leave nothing behind (a replay): each output first delivers
// what it holds, for as long as it goes on delivering.
void DrainAndCloseOutputs(const std::vector<std::unique_ptr<Output>>& outputs);

}  // namespace cyclara::logger
