#include "logger/statistics/statistics_output.h"

#include "logger/period_figures.h"
#include "measure/time_spans.h"
#include "measure/wall_clock.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace cyclara::logger {

namespace {

using namespace std::chrono_literals;

constexpr OutputPolicy kStatisticsPolicy{
    .queueLimit = 100'000, .batchLimit = 1000, .longestRetry = 1000ms, .closeWait = 1000ms};

std::string HertzField(const std::optional<int64_t>& frequency) {
    return frequency ? FormatHertz(*frequency) : "";
}

std::string Row10s(const PeriodFigures& period) {
    return std::to_string(period.Readings()) + "," + HertzField(period.Mean());
}

std::string FullRow(const PeriodFigures& period, int64_t lengthNs) {
    char deviation[32] = "";
    if (const std::optional<double> sd = period.StandardDeviationHz()) {
        std::snprintf(deviation, sizeof deviation, "%.5f", *sd);
    }
    const bool read = period.Readings() > 0;
    std::string row = std::to_string(period.Readings()) + "," + std::to_string(period.Lost()) +
                      "," + HertzField(period.Mean()) + "," + deviation + "," +
                      HertzField(period.Lowest()) + "," + (read ? FormatUtc(period.LowestNs()) : "") +
                      "," + HertzField(period.Highest()) + "," +
                      (read ? FormatUtc(period.HighestNs()) : "") + "," +
                      std::to_string(period.SecondsOutsideStandardRange()) + "," +
                      std::to_string(period.MinutesOutsideStandardRange());
    for (const int64_t outside : period.SecondsOutsideBands()) {
        row += "," + std::to_string(outside);
    }
    const std::optional<PulseReport>& last = period.Last();
    return row + "," + std::to_string(lengthNs / kSecondNs - period.Readings()) + "," +
           (last && last->figures ? FormatSignedSeconds(last->figures->gridTimeDeviationUs) : "");
}

std::string FullHeader(const std::vector<Band>& bands) {
    std::string header =
        "utc,readings,lost_pulses,mean_hz,standard_deviation_hz,lowest_hz,lowest_utc,highest_hz,"
        "highest_utc,seconds_outside_standard_range,minutes_outside_standard_range";
    for (const Band& band : bands) {
        header += ",seconds_outside:" + band.name;
    }
    return header + ",seconds_without_reading,grid_time_deviation_s";
}

// One kind of period: its length, its file and how its rows read.
struct Periods {
    int64_t lengthNs;
    const char* prefix;  // "10s-": a file a day; empty: one file for all days
    bool full;
    int64_t current = -1;
    PeriodFigures figures;
};

class Statistics : public Destination {
  public:
    Statistics(const std::string& recordFolder, GridChoice grid)
        : m_folder(std::filesystem::path(recordFolder) / "statistics"), m_grid(std::move(grid)) {}

    Delivery Deliver(const std::vector<PulseReport>& batch, uint64_t) override {
        for (const PulseReport& report : batch) {
            if (report.IsMeasured() && report.figures) {
                Take(report);
            }
        }
        return Delivery::All(batch.size());
    }

  private:
    void Take(const PulseReport& report) {
        ResolveBands(report);
        for (Periods& periods : m_periods) {
            const int64_t period = PeriodOf(report.unixNanoseconds, periods.lengthNs);
            if (period != periods.current) {
                if (periods.current >= 0) {
                    Write(periods);
                }
                periods.current = period;
                periods.figures = PeriodFigures(m_bands);
            }
            periods.figures.Add(report);
        }
    }

    void ResolveBands(const PulseReport& report) {
        if (!m_bands.empty() || report.nominalHz == 0) {
            return;
        }
        m_bands = GridFor(m_grid, report.nominalHz).bands;
    }

    void Write(const Periods& periods) {
        const int64_t startNs = periods.current * periods.lengthNs;
        const std::string name = *periods.prefix != '\0'
                                     ? periods.prefix + UtcDate(startNs) + ".csv"
                                     : std::string("days.csv");
        const std::string row = FormatUtc(startNs) + "," +
                                (periods.full ? FullRow(periods.figures, periods.lengthNs)
                                              : Row10s(periods.figures));
        const std::string header =
            periods.full ? FullHeader(m_bands) : std::string("utc,readings,mean_hz");
        if (!Append(m_folder / name, header, row) && !m_told) {
            m_told = true;
            std::fprintf(stderr, "cyclara-log: statistics cannot be written in %s\n",
                         m_folder.string().c_str());
        }
    }

    static bool Append(const std::filesystem::path& path, const std::string& header,
                       const std::string& row) {
        std::error_code ignored;
        std::filesystem::create_directories(path.parent_path(), ignored);
        const bool fresh = !std::filesystem::exists(path, ignored);
        std::ofstream file(path, std::ios::app);
        if (fresh) {
            file << header << "\n";
        }
        file << row << "\n";
        return static_cast<bool>(file.flush());
    }

    const std::filesystem::path m_folder;
    const GridChoice m_grid;
    std::vector<Band> m_bands;
    Periods m_periods[3] = {{10 * kSecondNs, "10s-", false, -1, PeriodFigures()},
                            {900 * kSecondNs, "15min-", true, -1, PeriodFigures()},
                            {kDayNs, "", true, -1, PeriodFigures()}};
    bool m_told = false;
};

}  // namespace

std::unique_ptr<Output> OpenStatisticsOutput(const std::string& recordFolder,
                                             const GridChoice& grid) {
    return std::make_unique<Output>("the statistics",
                                    std::make_unique<Statistics>(recordFolder, grid),
                                    kStatisticsPolicy);
}

}  // namespace cyclara::logger
