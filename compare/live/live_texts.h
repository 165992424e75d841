// What the live comparison shows, made from one view: the page, its API, the metrics and the
// lines it prints.
#pragma once

#include "compare/live/live_meters.h"

#include <string>

namespace cyclara::compare {

// {"meters": [...], "pairs": [...]}: each pair's figures as the offline --json gives them.
std::string ViewJson(const LiveView& view);
// Prometheus' text: each meter's state and each compared pair's figures, labelled by meter.
std::string ViewMetrics(const LiveView& view);
// The page: the meters beside each other and each pair's verdict; it reloads itself.
std::string ViewPage(const LiveView& view, int64_t windowSeconds);
// One line a pair: its verdict, or why there is none.
std::string ViewLines(const LiveView& view);

}  // namespace cyclara::compare
