#include "plot/day_shapes.h"

#include "measure/time_spans.h"

#include <cmath>

namespace cyclara::plot {

namespace {

int64_t DayStartOf(int64_t ms) {
    return ms - (ms % kDayMs + kDayMs) % kDayMs;
}

}  // namespace

Histogram HistogramOf(const std::vector<RecordRow>& rows, int64_t dayStartMs, double fromHz,
                      double toHz, double binHz) {
    Histogram histogram;
    histogram.fromHz = fromHz;
    histogram.binHz = binHz;
    histogram.counts.assign(static_cast<size_t>(std::ceil((toHz - fromHz) / binHz - 1e-9)), 0);
    for (const RecordRow& row : rows) {
        if (!row.frequency || DayStartOf(row.unixMilliseconds) != dayStartMs) {
            continue;
        }
        ++histogram.total;
        const double bin = std::floor((*row.frequency - fromHz) / binHz);
        if (bin >= 0 && bin < static_cast<double>(histogram.counts.size())) {
            ++histogram.counts[static_cast<size_t>(bin)];
        }
    }
    return histogram;
}

std::optional<int64_t> LastDayStartMs(const std::vector<RecordRow>& rows) {
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        if (row->frequency) {
            return DayStartOf(row->unixMilliseconds);
        }
    }
    return std::nullopt;
}

std::vector<std::optional<double>> MinuteProfile(const std::vector<RecordRow>& rows) {
    std::vector<double> sums(kMinutesADay, 0);
    std::vector<int64_t> counts(kMinutesADay, 0);
    for (const RecordRow& row : rows) {
        if (row.frequency) {
            const auto minute = static_cast<size_t>(
                (row.unixMilliseconds - DayStartOf(row.unixMilliseconds)) / kMinuteMs);
            sums[minute] += *row.frequency;
            ++counts[minute];
        }
    }
    std::vector<std::optional<double>> profile(kMinutesADay);
    for (size_t minute = 0; minute < profile.size(); ++minute) {
        if (counts[minute] != 0) {
            profile[minute] = sums[minute] / static_cast<double>(counts[minute]);
        }
    }
    return profile;
}

}  // namespace cyclara::plot
