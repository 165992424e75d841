// The live page as one more output: its thread keeps the figures the web server answers from,
// so no request, slow client or stalled stream ever reaches the measurement.
#pragma once

#include "grid/grid_bands.h"

#include "logger/output/output.h"
#include "logger/web/http_server.h"

#include <memory>
#include <string>
#include <vector>

namespace cyclara::logger {

// Serves on `address` (see --http) and says where on standard error; null with `whyNot` set
// when it cannot. `grid` names the bands whose outside seconds are counted; `watched` are the
// outputs whose counts the page and the metrics show, open for as long as this one. The history
// begins with the last day of the record in `recordFolder`, when one is given.
std::unique_ptr<Output> OpenLiveOutput(const std::string& address, const HttpLimits& limits,
                                       const GridChoice& grid, const std::string& recordFolder,
                                       std::vector<const Output*> watched, std::string& whyNot);

}  // namespace cyclara::logger
