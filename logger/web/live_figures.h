// What the live page, its API and the metrics show, kept from the records the live output
// takes: the latest pulse, the last day's seconds, today's figures, and counters that survive
// a scraper's sampling. Written by the live output's thread, read by the HTTP server's: every
// member under `m_mutex`, which is taken after the server's own and never before it.
#pragma once

#include "grid/grid_bands.h"
#include "grid/pulse_report.h"
#include "record/record_file.h"
#include "logger/web/day_figures.h"
#include "logger/web/second_history.h"

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace cyclara::logger {

// What a scrape of the metrics reads, copied out at one moment.
struct MetricsSnapshot {
    std::optional<PulseReport> last;  // the last measured pulse
    bool deviceUp = false;
    int nominal = 0;  // 0 before the first reading
    uint64_t pulses = 0;
    uint64_t lost = 0;
    uint64_t glitches = 0;
    struct BandSeconds {
        std::string band;
        uint64_t outside = 0;
    };
    std::vector<BandSeconds> outsideBands;
    std::map<std::string, bool> bandOutside;  // by band: whether an excursion lasts now
    std::map<std::string, uint64_t> events;   // by kind: "excursion", "device_lost"...
    // The one-second frequencies: counts per upper bound (nominal + offset), cumulative as
    // Prometheus' histograms are, and their sum.
    std::vector<double> bucketOffsetsHz;
    std::vector<uint64_t> bucketCounts;
    uint64_t readings = 0;
    double readingSumHz = 0;
};

class LiveFigures {
  public:
    static constexpr size_t kRecentEvents = 20;

    // Bucket bounds of the frequency histogram, as offsets from nominal: finer near it,
    // reaching the load-shedding steps.
    static const std::vector<double>& BucketOffsetsHz();

    // `grid` names the bands whose outside seconds are counted (empty: the nominal's usual).
    explicit LiveFigures(GridChoice grid);

    // The live output's thread.
    void Add(const PulseReport& report);
    // Before the server starts: the one-second readings a record kept, oldest first, so that
    // a restart does not empty the page's charts.
    void Preload(const std::vector<RecordRow>& rows);

    // Any thread. Sequence() counts the records added; a stream sends again when it moved.
    uint64_t Sequence() const;
    // The latest record as one Server-Sent Event.
    std::string StreamEvent() const;
    // The latest pulse (the MQTT state message's fields), today's figures and the meter's
    // state (`meter` is added as given).
    std::string State(const nlohmann::json& meter) const;
    std::string History(int64_t minutes, int64_t nowNs) const;
    std::string Minutes(int64_t hours, int64_t nowNs) const;
    MetricsSnapshot Metrics() const;

  private:
    void Measured(const PulseReport& report);
    void Events(const PulseReport& report);
    void CountInHistogram(double hertz);
    nlohmann::json LatestObject() const;

    const GridChoice m_gridChoice;
    mutable std::mutex m_mutex;
    uint64_t m_sequence = 0;
    std::optional<PulseReport> m_latest;  // the last record, measured or not
    std::optional<Grid> m_grid;           // once the nominal frequency is known
    // The readings since the start, by the grid's bands: their seconds outside each.
    std::optional<PeriodFigures> m_sinceStart;
    MetricsSnapshot m_metrics;
    DayFigures m_day;
    std::deque<nlohmann::json> m_recentEvents;  // the last kRecentEvents, newest first
    std::string m_timing;  // how the latest opening timestamps its edges
    SecondHistory m_history;
};

}  // namespace cyclara::logger
