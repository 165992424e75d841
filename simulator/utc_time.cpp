#include "simulator/utc_time.h"

#include <chrono>
#include <cstdio>

namespace cyclara::simulator {

std::optional<double> UtcSeconds(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, length = 0;
    double second = 0;
    char separator = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%lf%n", &year, &month, &day, &separator,
                    &hour, &minute, &second, &length) != 7 ||
        (separator != ' ' && separator != 'T')) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok()) {
        return std::nullopt;
    }
    const auto days = std::chrono::sys_days(date).time_since_epoch();
    return static_cast<double>(std::chrono::duration_cast<std::chrono::seconds>(days).count()) +
           (hour * 60.0 + minute) * 60.0 + second;
}

}  // namespace cyclara::simulator
