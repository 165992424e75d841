#include "logger/web/metrics_text.h"

#include "measure/clock_state.h"
#include "metrics/exposition.h"

#include <cstdio>

namespace cyclara::logger {

namespace {

void Readings(Exposition& out, const PulseReport& last) {
    const PulseFigures& figures = *last.figures;
    if (figures.frequencyTenMicroHz) {
        out.Gauge("cyclara_frequency_hertz", "The last one-second frequency of the grid.",
                  HertzOf(*figures.frequencyTenMicroHz));
    }
    if (figures.meanFrequencyTenMicroHz) {
        out.Gauge("cyclara_mean_frequency_hertz", "The mean frequency since the reference pulse.",
                  HertzOf(*figures.meanFrequencyTenMicroHz));
    }
    out.Gauge("cyclara_grid_time_deviation_seconds",
              "Counted nominal seconds minus true elapsed time since the epoch began.",
              static_cast<double>(figures.gridTimeDeviationUs) / 1e6);
    out.Gauge("cyclara_grid_time_epoch_start_timestamp_seconds",
              "When the epoch the grid time deviation counts from began (UNIX time).",
              static_cast<double>(last.gridTimeSinceNs) / 1e9);
    if (last.gridTimeAnchoredNs != 0) {
        out.Gauge("cyclara_grid_time_anchor_timestamp_seconds",
                  "The operator's moment the grid time deviation was anchored to (UNIX time).",
                  static_cast<double>(last.gridTimeAnchoredNs) / 1e9);
    }
    out.Gauge("cyclara_interval_seconds", "The last interval between counted pulses.",
              static_cast<double>(figures.intervalTicks) /
                  static_cast<double>(last.pulse->counterFrequency));
    if (last.uncertainty) {
        out.Gauge("cyclara_frequency_uncertainty_hertz",
                  "The standard uncertainty of one one-second frequency.",
                  last.uncertainty->frequencyHz);
    }
}

void Histogram(Exposition& out, const MetricsSnapshot& metrics) {
    const char* name = "cyclara_frequency_readings_hertz";
    out.Family(name, "histogram", "The one-second frequencies since the start.");
    for (size_t i = 0; i < metrics.bucketOffsetsHz.size(); ++i) {
        char bound[32];
        std::snprintf(bound, sizeof bound, "%.2f", metrics.nominal + metrics.bucketOffsetsHz[i]);
        out.Sample(std::string(name) + "_bucket", static_cast<double>(metrics.bucketCounts[i]),
                   Label("le", bound));
    }
    out.Sample(std::string(name) + "_bucket", static_cast<double>(metrics.readings),
               Label("le", "+Inf"));
    out.Sample(std::string(name) + "_sum", metrics.readingSumHz);
    out.Sample(std::string(name) + "_count", static_cast<double>(metrics.readings));
}

void Clock(Exposition& out, const ClockState& clock) {
    out.Gauge("cyclara_clock_synchronised",
              "1 while a time daemon disciplines the clock the pulses are timed by.",
              clock.discipline == ClockState::Discipline::kSynchronised ? 1 : 0);
    out.Gauge("cyclara_clock_frequency_correction_ppm",
              "What the kernel adds to the crystal's rate, in parts per million.",
              clock.frequencyCorrectionPpm);
    out.Gauge("cyclara_clock_rate_error_ppm",
              "The clock's rate error a reading carries, in parts per million.",
              RateErrorPpm(clock));
    out.Gauge("cyclara_reference_up",
              "1 while a reference second (a GPS receiver's PPS) measures the intervals.",
              clock.reference ? 1 : 0);
    if (clock.reference) {
        out.Gauge("cyclara_clock_measured_rate_ppm",
                  "The clock's rate against the reference: positive when it runs fast.",
                  clock.reference->clockPpm);
    }
}

}  // namespace

std::string MetricsText(const MetricsSnapshot& metrics, const std::vector<OutputCount>& outputs,
                        const std::string& version, int64_t nowNs) {
    Exposition out;
    out.Family("cyclara_build_info", "gauge", "The running cyclara-log's version.");
    out.Sample("cyclara_build_info", 1, Label("version", version));
    const bool fresh = metrics.last && metrics.last->figures && metrics.deviceUp &&
                       nowNs - metrics.last->unixNanoseconds <= kStaleAfterNanoseconds;
    out.Gauge("cyclara_device_up", "1 while the device's pulses arrive.", fresh ? 1 : 0);
    if (fresh) {
        Readings(out, *metrics.last);
    }
    if (metrics.last) {
        out.Gauge("cyclara_last_pulse_timestamp_seconds", "The UNIX time of the last pulse.",
                  static_cast<double>(metrics.last->unixNanoseconds) / 1e9);
        Clock(out, metrics.last->clock);
    }
    out.Counter("cyclara_pulses_total", "Pulses counted since the start.", metrics.pulses);
    out.Counter("cyclara_lost_pulses_total", "Pulses missing between counted ones.", metrics.lost);
    out.Counter("cyclara_glitches_total", "Edges too early to be a second, not counted.",
                metrics.glitches);
    out.Family("cyclara_outside_band_seconds_total", "counter",
               "One-second readings outside each of the grid's bands.");
    for (const MetricsSnapshot::BandSeconds& band : metrics.outsideBands) {
        out.Sample("cyclara_outside_band_seconds_total", static_cast<double>(band.outside),
                   Label("band", BandId(band.band)));
    }
    if (metrics.nominal != 0) {
        Histogram(out, metrics);
    }
    out.Family("cyclara_band_outside", "gauge",
               "1 while an excursion outside the band lasts (confirmed by two readings).");
    for (const auto& [band, outside] : metrics.bandOutside) {
        out.Sample("cyclara_band_outside", outside ? 1 : 0, Label("band", BandId(band)));
    }
    out.Family("cyclara_events_total", "counter",
               "Events since the start, by kind: excursions and the run's own.");
    for (const auto& [kind, count] : metrics.events) {
        out.Sample("cyclara_events_total", static_cast<double>(count),
                   Label("kind", BandId(kind)));
    }
    out.Family("cyclara_dropped_total", "counter",
               "Records an output dropped or could not deliver.");
    for (const OutputCount& output : outputs) {
        out.Sample("cyclara_dropped_total", static_cast<double>(output.dropped),
                   Label("output", BandId(output.name)));
    }
    return out.Text();
}

}  // namespace cyclara::logger
