#include "logger/statistics/statistics_output.h"

#include "logger/period_figures.h"
#include "measure/log_files.h"
#include "measure/time_spans.h"
#include "measure/wall_clock.h"

#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <set>

namespace cyclara::logger {

namespace {

using namespace std::chrono_literals;

// Rows are due at most every ten seconds: so are their batches.
constexpr OutputPolicy kStatisticsPolicy{.queueLimit = 100'000,
                                         .batchLimit = 1000,
                                         .batchPeriod = 10'000ms,
                                         .longestRetry = 1000ms,
                                         .closeWait = 1000ms};

std::string HertzField(const std::optional<int64_t>& frequency) {
    return frequency ? FormatHertz(*frequency) : "";
}

std::string Row10s(const PeriodFigures& period) {
    return std::to_string(period.Readings()) + "," + HertzField(period.Mean());
}

std::string FullRow(const PeriodFigures& period) {
    char deviation[32] = "";
    if (const std::optional<double> sd = period.StandardDeviationHz()) {
        std::snprintf(deviation, sizeof deviation, "%.5f", *sd);
    }
    const bool read = period.Readings() > 0;
    std::string row = std::to_string(period.Readings()) + "," + std::to_string(period.Lost()) +
                      "," + HertzField(period.Mean()) + "," + deviation + "," +
                      HertzField(period.Lowest()) + "," + (read ? FormatUtc(period.LowestNs()) : "") +
                      "," + HertzField(period.Highest()) + "," +
                      (read ? FormatUtc(period.HighestNs()) : "");
    if (const std::optional<int64_t> seconds = period.SecondsOutsideStandardRange()) {
        row += "," + std::to_string(*seconds) + "," +
               std::to_string(period.MinutesOutsideStandardRange().value_or(0));
    }
    for (const int64_t outside : period.SecondsOutsideBands()) {
        row += "," + std::to_string(outside);
    }
    const std::optional<PulseReport>& last = period.Last();
    return row + "," + std::to_string(period.SecondsWithoutReading()) + "," +
           (last && last->figures ? FormatSignedSeconds(last->figures->gridTimeDeviationUs) : "");
}

// Column names are identifiers, as the tools people load the files into take them: a band's
// words for people are in the documentation.
std::string FullHeader(const Grid& grid) {
    std::string header =
        "utc,readings,lost_pulses,mean_hz,standard_deviation_hz,lowest_hz,lowest_utc,highest_hz,"
        "highest_utc";
    if (grid.standardRangeHz) {
        header += ",seconds_outside_standard_range,minute_means_outside_standard_range";
    }
    for (const Band& band : grid.bands) {
        header += ",seconds_outside_" + BandId(band.name);
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
            if (report.pulse && report.figures) {
                Take(report);
            }
        }
        WritePending();
        return Delivery::All(batch.size());
    }

    // A stop writes the periods in progress as they are: the next run writes the rest of each
    // as a row of the same utc, so no reading is lost with the restart; a reader adds them up.
    void Finish() override {
        for (Periods& periods : m_periods) {
            if (periods.current >= 0 && periods.figures.Pulses() > 0) {
                Write(periods);
            }
        }
        WritePending();
        if (!m_pending.empty()) {
            std::fprintf(stderr, "cyclara-log: %zu rows of statistics could not be written\n",
                         m_pending.size());
        }
    }

  private:
    // A run's first pulse (the device back, a restart) ends a gap since the last run's last:
    // each period gets the whole seconds of it that fell in it, the one the gap began in before
    // its row is written.
    void Take(const PulseReport& report) {
        ResolveBands(report);
        const int64_t nowNs = report.unixNanoseconds;
        const bool gap = !report.IsMeasured() && m_lastEdgeNs && nowNs > *m_lastEdgeNs;
        for (Periods& periods : m_periods) {
            const int64_t period = PeriodOf(nowNs, periods.lengthNs);
            if (period != periods.current) {
                if (periods.current >= 0) {
                    if (gap) {
                        periods.figures.AddSecondsAway(
                            WholeSeconds((periods.current + 1) * periods.lengthNs - *m_lastEdgeNs));
                    }
                    Write(periods);
                }
                periods.current = period;
                periods.figures = PeriodFigures(m_resolved ? m_resolved->bands : std::vector<Band>{},
                                                m_resolved ? m_resolved->standardRangeHz
                                                           : std::nullopt);
            }
            if (gap) {
                const int64_t from = std::max(*m_lastEdgeNs, period * periods.lengthNs);
                periods.figures.AddSecondsAway(WholeSeconds(nowNs - from));
            }
            periods.figures.Add(report);
        }
        m_lastEdgeNs = nowNs;
    }

    static int64_t WholeSeconds(int64_t ns) {
        return (ns + kSecondNs / 2) / kSecondNs;
    }

    void ResolveBands(const PulseReport& report) {
        if (m_resolved || report.nominalHz == 0) {
            return;
        }
        m_resolved = GridFor(m_grid, report.nominalHz);
    }

    // Queued behind any row the disk has not taken yet, so the rows keep their order.
    void Write(const Periods& periods) {
        const int64_t startNs = periods.current * periods.lengthNs;
        const std::string name = *periods.prefix != '\0'
                                     ? periods.prefix + UtcDate(startNs) + ".csv"
                                     : std::string("days.csv");
        const std::string row = FormatUtc(startNs) + "," +
                                (periods.full ? FullRow(periods.figures)
                                              : Row10s(periods.figures));
        const std::string header = periods.full && m_resolved ? FullHeader(*m_resolved)
                                                              : std::string("utc,readings,mean_hz");
        if (m_pending.size() == kLongestPending) {
            m_pending.pop_front();
            ++m_lostRows;
        }
        m_pending.push_back({m_folder / name, header, row + "\n"});
    }

    // What a full disk or a missing folder held back goes as soon as the disk takes it, each
    // file begun with its header whenever it is empty (a full disk leaves a file made but
    // empty); said once, and again once it goes on.
    void WritePending() {
        while (!m_pending.empty()) {
            const PendingRow& next = m_pending.front();
            if (!Append(next.path, next.header, next.row)) {
                if (!m_told) {
                    m_told = true;
                    std::fprintf(stderr,
                                 "cyclara-log: statistics cannot be written in %s; their rows "
                                 "are kept (a day's at most) until they can\n",
                                 m_folder.string().c_str());
                }
                return;
            }
            m_pending.pop_front();
        }
        if (m_told) {
            m_told = false;
            std::fprintf(stderr, "cyclara-log: statistics are written again in %s%s\n",
                         m_folder.string().c_str(),
                         m_lostRows > 0 ? "; the oldest rows kept were lost" : "");
        }
    }

    // A file begun with another header (an older layout, another grid's bands) is moved aside
    // whole, never appended to: its columns would no longer be the rows'.
    // The header is looked at once a file a run: the rows this run appends keep it.
    bool Append(const std::filesystem::path& path, const std::string& header,
                const std::string& row) {
        std::error_code ignored;
        std::filesystem::create_directories(path.parent_path(), ignored);
        if (m_headerChecked.insert(path).second && std::filesystem::exists(path, ignored) &&
            std::filesystem::file_size(path, ignored) > 0 && FirstLine(path) != header) {
            MoveAside(path);
        }
        return AppendBegunWithHeader(path.string(), header, row);
    }

    static std::string FirstLine(const std::filesystem::path& path) {
        std::ifstream file(path);
        std::string line;
        std::getline(file, line);
        return line;
    }

    // "days.csv" becomes "days.1.csv", or the first such name that is free.
    static void MoveAside(const std::filesystem::path& path) {
        std::error_code error;
        for (int n = 1; n < 1000; ++n) {
            const std::filesystem::path aside = path.parent_path() /
                (path.stem().string() + "." + std::to_string(n) + path.extension().string());
            if (!std::filesystem::exists(aside, error)) {
                std::filesystem::rename(path, aside, error);
                return;
            }
        }
    }

    const std::filesystem::path m_folder;
    const GridChoice m_grid;
    std::optional<Grid> m_resolved;  // once the nominal frequency is known
    std::optional<int64_t> m_lastEdgeNs;  // of the last pulse taken, of any run
    std::set<std::filesystem::path> m_headerChecked;
    // A day of ten-second rows and more: what a full disk may hold back before the oldest go.
    static constexpr size_t kLongestPending = 10'000;
    struct PendingRow {
        std::filesystem::path path;
        std::string header;
        std::string row;  // with its line end
    };
    std::deque<PendingRow> m_pending;
    uint64_t m_lostRows = 0;
    Periods m_periods[3] = {{10 * kSecondNs, "10s-", false, -1, PeriodFigures()},
                            {900 * kSecondNs, "15min-", true, -1, PeriodFigures()},
                            {kDayNs, "", true, -1, PeriodFigures()}};
    bool m_told = false;
};

}  // namespace

std::unique_ptr<Output> OpenStatisticsOutput(const std::string& recordFolder,
                                             const GridChoice& grid,
                                             std::shared_ptr<DeliveryThread> thread) {
    return std::make_unique<Output>("the statistics",
                                    std::make_unique<Statistics>(recordFolder, grid),
                                    kStatisticsPolicy, nullptr, std::move(thread));
}

}  // namespace cyclara::logger
