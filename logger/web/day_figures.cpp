#include "logger/web/day_figures.h"

#include "measure/wall_clock.h"

#include <algorithm>
#include <cmath>

namespace cyclara::logger {

namespace {

constexpr int64_t kNanosecondsADay = 86'400'000'000'000;

int64_t DayOf(int64_t unixNs) {
    return unixNs / kNanosecondsADay;
}

}  // namespace

int DayFigures::BinOf(double hertz, int nominal) {
    const int bin = static_cast<int>(std::lround((hertz - nominal) / kBinHz)) + kBins / 2;
    return std::clamp(bin, 0, kBins - 1);
}

void DayFigures::Reading(double hertz, int nominal, int64_t unixNs) {
    if (DayOf(unixNs) != m_today.date) {
        m_yesterday = m_today.date == DayOf(unixNs) - 1 ? m_today : Day{};
        m_today = Day{};
        m_today.date = DayOf(unixNs);
    }
    Day& day = m_today;
    day.nominal = nominal;
    if (day.readings == 0 || hertz < day.lowest) {
        day.lowest = hertz;
        day.lowestNs = unixNs;
    }
    if (day.readings == 0 || hertz > day.highest) {
        day.highest = hertz;
        day.highestNs = unixNs;
    }
    ++day.readings;
    const double step = hertz - day.mean;
    day.mean += step / static_cast<double>(day.readings);
    day.squares += step * (hertz - day.mean);
    day.outside += std::abs(hertz - nominal) > kStandardRangeHz ? 1 : 0;
    ++day.bins[BinOf(hertz, nominal)];
}

nlohmann::json DayFigures::Today() const {
    using Json = nlohmann::json;
    const Day& day = m_today;
    if (day.readings == 0) {
        return {{"readings", 0}, {"lost", day.lost}};
    }
    const double variance =
        day.readings > 1 ? day.squares / static_cast<double>(day.readings - 1) : 0.0;
    return {{"date", UtcDate(day.date * kNanosecondsADay)},
            {"readings", day.readings},
            {"lowest_hz", day.lowest},
            {"lowest_utc", FormatUtc(day.lowestNs)},
            {"highest_hz", day.highest},
            {"highest_utc", FormatUtc(day.highestNs)},
            {"mean_hz", day.mean},
            {"standard_deviation_hz", std::sqrt(variance)},
            {"seconds_outside_standard_range", day.outside},
            {"lost", day.lost},
            {"histogram",
             {{"from_hz", day.nominal - kBinHz * (kBins / 2)},
              {"bin_hz", kBinHz},
              {"today", day.bins},
              {"yesterday", m_yesterday.readings > 0 ? Json(m_yesterday.bins) : Json()}}}};
}

}  // namespace cyclara::logger
