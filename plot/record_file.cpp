#include "plot/record_file.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <sstream>

namespace cyclara::plot {

namespace {

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, ',')) {
        fields.push_back(field);
    }
    if (!line.empty() && line.back() == ',') {
        fields.emplace_back();
    }
    return fields;
}

// Whatever the user's locale: once QApplication has set it, strtod reads "49.99950" as 49 where
// the decimal separator is a comma.
std::optional<double> Number(const std::string& text) {
    const char* start = text.data() + (text.rfind('+', 0) == 0 ? 1 : 0);
    const char* end = text.data() + text.size();
    double value = 0;
    const auto [stop, error] = std::from_chars(start, end, value);
    if (start == end || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<int64_t> ParseUtc(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, micro = 0, length = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%6dZ%n", &year, &month, &day, &hour,
                    &minute, &second, &micro, &length) != 7 ||
        static_cast<size_t>(length) != text.size()) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok()) {
        return std::nullopt;
    }
    const auto days = std::chrono::sys_days(date).time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(days).count() +
           ((hour * 60LL + minute) * 60 + second) * 1000 + micro / 1000;
}

std::vector<RecordRow> ParseRecord(const std::string& text) {
    std::vector<RecordRow> rows;
    std::stringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = Fields(line);
        const std::optional<int64_t> time = fields.size() == 7 ? ParseUtc(fields[0]) : std::nullopt;
        if (!time) {
            continue;
        }
        rows.push_back({*time, Number(fields[3]), Number(fields[5]), fields[6]});
    }
    return rows;
}

}  // namespace cyclara::plot
