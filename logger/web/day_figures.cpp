#include "logger/web/day_figures.h"

#include "measure/time_spans.h"
#include "measure/wall_clock.h"

#include <algorithm>
#include <cmath>

namespace cyclara::logger {

void DayFigures::SetStandardRange(std::optional<double> halfWidthHz) {
    m_standardRangeHz = halfWidthHz;
    if (m_today.Pulses() == 0) {
        m_today = PeriodFigures({}, m_standardRangeHz);
    }
}

void DayFigures::Add(const PulseReport& report) {
    const int64_t date = PeriodOf(report.unixNanoseconds, kDayNs);
    if (date != m_date) {
        m_yesterdayBins = date == m_date + 1 ? m_bins : std::vector<int64_t>{};
        m_today = PeriodFigures({}, m_standardRangeHz);
        m_bins.assign(kBins, 0);
        m_date = date;
    }
    m_today.Add(report);
    const std::optional<int64_t>& frequency = report.figures->frequencyTenMicroHz;
    if (frequency && report.figures->kind == PulseFigures::Kind::kMeasured) {
        m_nominal = report.nominalHz;
        const long bin = std::lround((HertzOf(*frequency) - m_nominal) / kBinHz) + kBins / 2;
        ++m_bins[std::clamp<long>(bin, 0, kBins - 1)];
    }
}

nlohmann::json DayFigures::Today() const {
    using Json = nlohmann::json;
    const PeriodFigures& day = m_today;
    if (day.Readings() == 0) {
        return {{"readings", 0}, {"lost", day.Lost()}};
    }
    return {{"date", UtcDate(m_date * kDayNs)},
            {"readings", day.Readings()},
            {"lowest_hz", HertzOf(*day.Lowest())},
            {"lowest_utc", FormatUtc(day.LowestNs())},
            {"highest_hz", HertzOf(*day.Highest())},
            {"highest_utc", FormatUtc(day.HighestNs())},
            {"mean_hz", HertzOf(*day.Mean())},
            {"standard_deviation_hz", day.StandardDeviationHz().value_or(0.0)},
            {"standard_range_hz", m_standardRangeHz ? Json(*m_standardRangeHz) : Json()},
            {"seconds_outside_standard_range",
             day.SecondsOutsideStandardRange() ? Json(*day.SecondsOutsideStandardRange())
                                               : Json()},
            {"lost", day.Lost()},
            {"histogram",
             {{"from_hz", m_nominal - kBinHz * (kBins / 2)},
              {"bin_hz", kBinHz},
              {"today", m_bins},
              {"yesterday", m_yesterdayBins.empty() ? Json() : Json(m_yesterdayBins)}}}};
}

}  // namespace cyclara::logger
