#include "record/utc_time.h"

#include "record/record_file.h"

#include <cstdio>

namespace cyclara {

std::optional<double> UtcSeconds(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, length = 0;
    double second = 0;
    char separator = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%lf%n", &year, &month, &day, &separator,
                    &hour, &minute, &second, &length) != 7 ||
        (separator != ' ' && separator != 'T') || second < 0 || second >= 61) {
        return std::nullopt;
    }
    const std::string rest = text.substr(static_cast<size_t>(length));
    const std::optional<int64_t> minuteStart =
        UnixMinute(year, month, day, hour, minute);
    if (!minuteStart || (!rest.empty() && rest != "Z")) {
        return std::nullopt;
    }
    return static_cast<double>(*minuteStart) + second;
}

}  // namespace cyclara
