#include "record/record_file.h"

#include "record/day_compression.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace cyclara {

namespace {

// The line's comma-separated fields, an empty one after a trailing comma; none of an empty
// line. A day is 86,400 of them: cut where the commas are, with no stream made for each.
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    if (line.empty()) {
        return fields;
    }
    size_t start = 0;
    for (size_t comma = line.find(','); comma != std::string::npos;
         comma = line.find(',', start)) {
        fields.emplace_back(line, start, comma - start);
        start = comma + 1;
    }
    fields.emplace_back(line, start);
    return fields;
}

// A day at one row a second is some 9 MB; a file far beyond that is not a day's record, and
// reading it whole could take the machine's memory.
constexpr std::uintmax_t kLargestFile = 256u << 20;

enum class Cell { kEmpty, kNumber, kBad };

// Whatever the user's locale: once QApplication has set it, strtod reads "49.99950" as 49 where
// the decimal separator is a comma. Infinite or not-a-number is no reading.
Cell Number(const std::string& text, std::optional<double>& number) {
    number.reset();
    if (text.empty()) {
        return Cell::kEmpty;
    }
    const char* start = text.data() + (text.front() == '+' ? 1 : 0);
    const char* end = text.data() + text.size();
    double value = 0;
    const auto [stop, error] = std::from_chars(start, end, value);
    if (start == end || error != std::errc() || stop != end || !std::isfinite(value)) {
        return Cell::kBad;
    }
    number = value;
    return Cell::kNumber;
}

// Where the columns a plot needs stand in a header line; none if one is missing.
struct Columns {
    size_t utc = 0, frequency = 0, gridTime = 0, event = 0, count = 0;
    // Of later layouts' columns, where the header has them.
    std::optional<size_t> interval, nominal;
};

std::optional<Columns> FindColumns(const std::vector<std::string>& header) {
    Columns columns;
    columns.count = header.size();
    const auto at = [&](const char* name, size_t& index) {
        const auto found = std::find(header.begin(), header.end(), name);
        index = static_cast<size_t>(found - header.begin());
        return found != header.end();
    };
    if (!at("utc", columns.utc) || !at("frequency_hz", columns.frequency) ||
        !at("grid_time_deviation_s", columns.gridTime) || !at("event", columns.event)) {
        return std::nullopt;
    }
    size_t index = 0;
    columns.interval = at("interval_us", index) ? std::optional(index) : std::nullopt;
    columns.nominal = at("nominal_hz", index) ? std::optional(index) : std::nullopt;
    return columns;
}

std::optional<RecordRow> ParseRow(const std::vector<std::string>& fields, const Columns& columns) {
    if (fields.size() < columns.count) {
        return std::nullopt;
    }
    const std::optional<int64_t> time = ParseUtcMicroseconds(fields[columns.utc]);
    RecordRow row;
    if (!time || Number(fields[columns.frequency], row.frequency) == Cell::kBad ||
        Number(fields[columns.gridTime], row.gridTime) == Cell::kBad) {
        return std::nullopt;
    }
    if (columns.interval && Number(fields[*columns.interval], row.intervalUs) == Cell::kBad) {
        return std::nullopt;
    }
    std::optional<double> nominal;
    if (columns.nominal && Number(fields[*columns.nominal], nominal) == Cell::kNumber) {
        row.nominalHz = *nominal == 60 ? 60 : *nominal == 50 ? 50 : 0;
    }
    row.unixMicroseconds = *time;
    row.unixMilliseconds = *time / 1000;
    row.event = fields[columns.event];
    return row;
}

}  // namespace

std::optional<int64_t> UnixMinute(int year, int month, int day, int hour, int minute) {
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59) {
        return std::nullopt;
    }
    const auto days = std::chrono::sys_days(date).time_since_epoch();
    return std::chrono::duration_cast<std::chrono::seconds>(days).count() +
           (hour * 60LL + minute) * 60;
}

std::optional<int64_t> ParseUtc(const std::string& text) {
    const std::optional<int64_t> microseconds = ParseUtcMicroseconds(text);
    return microseconds ? std::optional(*microseconds / 1000) : std::nullopt;
}

std::optional<int64_t> ParseUtcMicroseconds(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, micro = 0, length = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%6dZ%n", &year, &month, &day, &hour,
                    &minute, &second, &micro, &length) != 7 ||
        static_cast<size_t>(length) != text.size()) {
        return std::nullopt;
    }
    const std::optional<int64_t> minuteStart = UnixMinute(year, month, day, hour, minute);
    if (!minuteStart) {
        return std::nullopt;
    }
    return (*minuteStart + second) * 1'000'000 + micro;
}

ParsedRecord ParseRecord(const std::string& text) {
    ParsedRecord parsed;
    std::stringstream lines(text);
    std::optional<Columns> columns;
    std::string header;
    size_t number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();  // a file that went through Windows
        }
        // A compressed day with rows added later holds the header again.
        if (line.rfind('#', 0) == 0 || line == header) {
            continue;
        }
        const std::vector<std::string> fields = Fields(line);
        if (!columns) {
            header = line;
            columns = FindColumns(fields);
            if (!columns) {
                parsed.problem = "line " + std::to_string(number) + " is not a record's header";
                return parsed;
            }
            continue;
        }
        if (const std::optional<RecordRow> row = ParseRow(fields, *columns)) {
            parsed.rows.push_back(*row);
        } else if (parsed.firstBadLine == 0) {
            parsed.firstBadLine = number;
        }
    }
    if (parsed.rows.empty()) {
        parsed.problem = !columns                ? "it is empty"
                         : parsed.firstBadLine != 0 ? "no row can be read; line " +
                                                          std::to_string(parsed.firstBadLine) +
                                                          " is the first that is not one"
                                                    : "it has a header and no rows";
    }
    return parsed;
}

ParsedRecord ReadRecordFile(const std::string& path) {
    ParsedRecord unread;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        unread.problem = "it cannot be read: " + error.message();
        return unread;
    }
    if (size > kLargestFile) {
        unread.problem = "it is " + std::to_string(size >> 20) + " MiB, too large for a record";
        return unread;
    }
    std::string text;
    if (!ReadDayText(path, kLargestFile, text)) {
        unread.problem = "it cannot be read whole (damaged, or over " +
                         std::to_string(kLargestFile >> 20) + " MiB of text)";
        return unread;
    }
    return ParseRecord(text);
}

}  // namespace cyclara
