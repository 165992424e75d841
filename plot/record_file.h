// Reads cyclara-log's per-pulse record back: the rows a plot draws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cyclara::plot {

struct RecordRow {
    int64_t unixMilliseconds = 0;
    std::optional<double> frequency;  // Hz; none where the row has none
    std::optional<double> gridTime;   // seconds
    std::string event;                // "", "start", "lost 1", "device lost"...
};

// The rows of one record file in their order; a row that does not parse (the header, a torn
// line) is left out.
std::vector<RecordRow> ParseRecord(const std::string& text);

// "2026-12-07T03:40:12.123456Z" as milliseconds since 1970; none if it is not one.
std::optional<int64_t> ParseUtc(const std::string& text);

}  // namespace cyclara::plot
