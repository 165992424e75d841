#include "logger/web/live_figures.h"

#include "logger/events/events_output.h"
#include "logger/mqtt/json_text.h"
#include "logger/mqtt/state_message.h"
#include "record/record_layout.h"

#include "measure/wall_clock.h"

#include <cmath>

namespace cyclara::logger {

namespace {

bool EndsMeasurement(const RunEvent& event) {
    return event.kind == RunEvent::Kind::kDeviceLost || event.kind == RunEvent::Kind::kStop;
}

// The run's events counted by kind in the metrics; the rest are only listed.
const char* CountedKind(RunEvent::Kind kind) {
    switch (kind) {
        case RunEvent::Kind::kDeviceLost:
            return record_event::kDeviceLost;
        case RunEvent::Kind::kDeviceBack:
            return record_event::kDeviceBack;
        case RunEvent::Kind::kNoPulses:
            return record_event::kNoPulses;
        case RunEvent::Kind::kPulsesAgain:
            return record_event::kPulsesAgain;
        default:
            return "";
    }
}

}  // namespace

const std::vector<double>& LiveFigures::BucketOffsetsHz() {
    static const std::vector<double> offsets{-1.0,  -0.5,  -0.2, -0.1, -0.05, -0.02, -0.01, 0.0,
                                             0.01, 0.02, 0.05, 0.1,  0.2,   0.5,   1.0};
    return offsets;
}

LiveFigures::LiveFigures(GridChoice grid) : m_gridChoice(std::move(grid)) {
    m_metrics.bucketOffsetsHz = BucketOffsetsHz();
    m_metrics.bucketCounts.assign(BucketOffsetsHz().size(), 0);
}

void LiveFigures::Add(const PulseReport& report) {
    std::lock_guard lock(m_mutex);
    ++m_sequence;
    m_latest = report;
    if (EndsMeasurement(report.event)) {
        m_metrics.deviceUp = false;
    }
    if (report.figures && report.figures->kind == PulseFigures::Kind::kGlitch) {
        ++m_metrics.glitches;
    }
    if (report.IsMeasured()) {
        Measured(report);
    }
    Events(report);
}

// The grid's events and the run's own, counted by kind and kept for the page's list.
void LiveFigures::Events(const PulseReport& report) {
    std::vector<std::pair<std::string, std::string>> told;  // kind, text
    for (const PulseReport::BandEvent& event : report.bandEvents) {
        m_metrics.bandOutside[event.excursion.band] = event.started;
        // An excursion counts once, when it starts.
        told.emplace_back(event.started ? "excursion" : "", BandEventText(event));
    }
    if (report.event.kind == RunEvent::Kind::kTiming) {
        m_timing = TimingWords(report.event);
    }
    if (!report.pulse && report.event.kind != RunEvent::Kind::kNone) {
        told.emplace_back(CountedKind(report.event.kind), EventWords(report));
    }
    for (const auto& [kind, text] : told) {
        if (!kind.empty()) {
            ++m_metrics.events[kind];
        }
        m_recentEvents.push_front({{"utc", FormatUtc(report.unixNanoseconds)}, {"text", text}});
        if (m_recentEvents.size() > kRecentEvents) {
            m_recentEvents.pop_back();
        }
    }
}

void LiveFigures::Measured(const PulseReport& report) {
    m_metrics.deviceUp = true;
    m_metrics.last = report;
    ++m_metrics.pulses;
    if (!report.figures) {
        return;
    }
    const PulseFigures& figures = *report.figures;
    m_metrics.lost += static_cast<uint64_t>(figures.lost);
    const int nominal = report.nominalHz;
    if (nominal != 0 && m_metrics.nominal != nominal) {
        m_metrics.nominal = nominal;
        m_grid = GridFor(m_gridChoice, nominal);
        m_day.SetStandardRange(m_grid->standardRangeHz);
        m_sinceStart.emplace(m_grid->bands, m_grid->standardRangeHz);
        for (const Band& band : m_grid->bands) {
            m_metrics.bandOutside.emplace(band.name, false);
        }
    }
    m_day.Add(report);
    if (!figures.frequencyTenMicroHz || figures.kind != PulseFigures::Kind::kMeasured ||
        !m_sinceStart) {
        return;
    }
    const double hertz = HertzOf(*figures.frequencyTenMicroHz);
    m_sinceStart->Add(report);
    CountInHistogram(hertz);
    m_history.Add(report.unixNanoseconds, hertz,
                  static_cast<double>(figures.gridTimeDeviationUs) / 1e6);
}

void LiveFigures::CountInHistogram(double hertz) {
    for (size_t i = 0; i < m_metrics.bucketOffsetsHz.size(); ++i) {
        m_metrics.bucketCounts[i] += hertz <= m_metrics.nominal + m_metrics.bucketOffsetsHz[i];
    }
    ++m_metrics.readings;
    m_metrics.readingSumHz += hertz;
}

void LiveFigures::Preload(const std::vector<RecordRow>& rows) {
    std::lock_guard lock(m_mutex);
    for (const RecordRow& row : rows) {
        if (row.frequency && row.gridTime) {
            m_history.Add(row.unixMilliseconds * 1'000'000, *row.frequency, *row.gridTime);
        }
    }
}

uint64_t LiveFigures::Sequence() const {
    std::lock_guard lock(m_mutex);
    return m_sequence;
}

// The page leads with the band the grid is in: the watch's own verdict (with its durations), so
// the page says what the events and the metrics say.
nlohmann::json LiveFigures::LatestObject() const {
    nlohmann::json latest = m_latest ? StateObject(*m_latest) : nlohmann::json::object();
    latest["bands_outside"] = nlohmann::json::array();
    for (const Band& band : m_grid ? m_grid->bands : std::vector<Band>{}) {
        if (m_metrics.bandOutside.at(band.name)) {
            latest["bands_outside"].push_back(band.name);
        }
    }
    return latest;
}

std::string LiveFigures::StreamEvent() const {
    std::lock_guard lock(m_mutex);
    return "id: " + std::to_string(m_sequence) + "\ndata: " + Serialised(LatestObject()) + "\n\n";
}

std::string LiveFigures::State(const nlohmann::json& meter) const {
    std::lock_guard lock(m_mutex);
    nlohmann::json state = LatestObject();
    state["today"] = m_day.Today();
    state["meter"] = meter;
    state["meter"]["device_up"] = m_metrics.deviceUp;
    state["meter"]["timing"] = m_timing;
    state["nominal_hz"] = m_metrics.nominal;
    state["events"] = m_recentEvents;
    state["grid"] = m_grid ? m_grid->name : "";
    state["bands"] = nlohmann::json::array();
    for (const Band& band : m_grid ? m_grid->bands : std::vector<Band>{}) {
        state["bands"].push_back({{"name", band.name}, {"low_hz", band.lowHz},
                                  {"high_hz", band.highHz}});
    }
    return Serialised(state);
}

std::string LiveFigures::History(int64_t minutes, int64_t nowNs) const {
    std::lock_guard lock(m_mutex);
    return Serialised(m_history.Since(minutes, nowNs));
}

std::string LiveFigures::Minutes(int64_t hours, int64_t nowNs) const {
    std::lock_guard lock(m_mutex);
    return Serialised(m_history.Minutes(hours, nowNs));
}

MetricsSnapshot LiveFigures::Metrics() const {
    std::lock_guard lock(m_mutex);
    MetricsSnapshot metrics = m_metrics;
    if (m_sinceStart) {
        const std::vector<int64_t>& outside = m_sinceStart->SecondsOutsideBands();
        for (size_t i = 0; i < outside.size(); ++i) {
            metrics.outsideBands.push_back({m_sinceStart->Bands()[i].name,
                                            static_cast<uint64_t>(outside[i])});
        }
    }
    return metrics;
}

}  // namespace cyclara::logger
