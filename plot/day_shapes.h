// What a day's readings look like taken together rather than in time: how often each
// frequency was read (a histogram), and the mean of each minute of the day over several days
// (a daily profile, which shows the steps the electricity markets' schedules cause at the
// hours and quarter-hours).
#pragma once

#include "record/record_file.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace cyclara::plot {


inline constexpr int kMinutesADay = 1440;

struct Histogram {
    double fromHz = 0;  // the lower edge of the first bin
    double binHz = 0;
    std::vector<int64_t> counts;
    int64_t total = 0;  // readings, inside the bins or not
};

// The one-second readings of `rows` on the UTC day that begins at `dayStartMs`, in bins of
// `binHz` from `fromHz` up to `toHz`.
Histogram HistogramOf(const std::vector<RecordRow>& rows, int64_t dayStartMs, double fromHz,
                      double toHz, double binHz);

// The UTC day of the last row with a reading, as the milliseconds of its midnight; none
// without one.
std::optional<int64_t> LastDayStartMs(const std::vector<RecordRow>& rows);

// For each minute of the UTC day, the mean of the readings in that minute over every day of
// `rows`; none for a minute without one.
std::vector<std::optional<double>> MinuteProfile(const std::vector<RecordRow>& rows);

}  // namespace cyclara::plot
