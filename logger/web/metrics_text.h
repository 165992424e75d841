// The metrics in Prometheus' text exposition format: names in base units with the cyclara_
// prefix, each with its help and type.
#pragma once

#include "logger/web/live_figures.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cyclara::logger {

struct OutputCount {
    std::string name;
    uint64_t dropped = 0;
};

// A gauge of a reading is left out once its pulse is older than this, so a scrape while the
// device is away shows no stale frequency.
constexpr int64_t kStaleAfterNanoseconds = 5'000'000'000;

std::string MetricsText(const MetricsSnapshot& metrics, const std::vector<OutputCount>& outputs,
                        const std::string& version, int64_t nowNs);

}  // namespace cyclara::logger
