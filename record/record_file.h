// Reads cyclara-log's per-pulse record back: the rows a plot draws. Columns are found by the
// header's names, so files of later layouts, with more columns, read too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cyclara {

struct RecordRow {
    int64_t unixMilliseconds = 0;
    std::optional<double> frequency;  // Hz; none where the row has none
    std::optional<double> gridTime;   // seconds
    std::string event;                // "", "start", "lost 1", "device lost"...
    std::optional<double> intervalUs;  // since the last counted edge; none in a row without
    int nominalHz = 0;                 // as the row says; 0 where it does not (layouts 1, 2)
    int64_t unixMicroseconds = 0;      // the time as the row has it
};

struct ParsedRecord {
    std::vector<RecordRow> rows;
    // The first line that is neither a row, the header nor the layout's version line (a torn
    // row, a number that is not finite), counted from 1; 0 when there was none.
    size_t firstBadLine = 0;
    std::string problem;  // why the text is no record at all; empty when it is one
};

// The rows of one record file's text in their order. A text with no header, or with a header
// and no readable row, has `problem` set.
ParsedRecord ParseRecord(const std::string& text);

// A file read whole: its rows, or `problem` naming the file and why it could not be read.
ParsedRecord ReadRecordFile(const std::string& path);

// Seconds since 1970 at the start of a UTC minute; none for one that does not exist.
std::optional<int64_t> UnixMinute(int year, int month, int day, int hour, int minute);

// "2026-12-07T03:40:12.123456Z" as milliseconds since 1970; none if it is not one.
std::optional<int64_t> ParseUtc(const std::string& text);
// The same, to the microsecond.
std::optional<int64_t> ParseUtcMicroseconds(const std::string& text);

}  // namespace cyclara
