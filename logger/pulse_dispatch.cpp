#include "logger/pulse_dispatch.h"

#include "logger/record/record_layout.h"
#include "measure/counted_pulse.h"
#include "measure/counter.h"
#include "measure/wall_clock.h"
#include "res/resource.h"

#include <utility>

namespace cyclara::logger {

PulseDispatch::PulseDispatch(int nominal, int64_t count, StopRequest& stop,
                             std::vector<Output*> outputs, GridChoice grid,
                             std::optional<EpochState> epoch)
    : m_nominalFixed(nominal != 0),
      m_count(count),
      m_stop(stop),
      m_outputs(std::move(outputs)),
      m_nominal(nominal),
      m_grid(std::move(grid)),
      m_epoch(std::move(epoch)) {}

void PulseDispatch::StartRun(CommDevice* reference) {
    m_clock.emplace(ReadCounterFrequency());
    m_clock->SetNominal(m_nominal);
    m_reference = reference;
    m_referenceSeconds.emplace(ReadCounterFrequency());
    m_referenceRate.reset();
}

void PulseDispatch::Event(const std::string& event) {
    PulseReport report;
    report.unixNanoseconds = ReadWallPairing().unixNanoseconds;
    report.event = event;
    report.clock = Clock();
    Hand(report);
}

void PulseDispatch::ClockRead(const ClockState& clock) {
    std::optional<ClockState> before;
    {
        std::lock_guard lock(m_clockMutex);
        before = std::exchange(m_clockState, clock);
    }
    if (before && std::string(ClockWord(*before)) != ClockWord(clock)) {
        Event(std::string(record_event::kClock) + " " + ClockWord(clock));
    }
}

ClockState PulseDispatch::Clock() const {
    std::lock_guard lock(m_clockMutex);
    return m_clockState.value_or(ClockState{});
}

// A frequency line's figure names the nominal frequency unless the user did.
void PulseDispatch::SetFieldText(int id, const char* text) {
    if (id != IDC_FREQ) {
        return;
    }
    m_frequencyText = text;
    ++m_lines;
    if (!m_nominalFixed && (m_frequencyText == "50" || m_frequencyText == "60")) {
        m_nominal = std::stoi(m_frequencyText);
        m_clock->SetNominal(m_nominal);
    }
}

void PulseDispatch::SetIndicator(bool lit) {
    m_rises += lit ? 1 : 0;
}

void PulseDispatch::OnCountedPulse(const CountedPulse& pulse) {
    if (m_count != 0 && m_measured >= m_count) {
        return;
    }
    // Paired with the realtime clock at every pulse: a wall-clock step moves the times from
    // the next pulse on and never an interval.
    const WallPairing now = ReadWallPairing();
    PulseReport report;
    report.unixNanoseconds = UnixNanosecondsOf(pulse.edgeTicks, now, pulse.counterFrequency);
    report.pulse = pulse;
    report.clock = Clock();
    FollowReference(pulse, report);
    report.figures = m_clock->OnPulse(pulse.edgeTicks);
    report.frequencyText = m_frequencyText;
    report.event = EventOf(*report.figures);
    HandBefore(report, m_epoch.Apply(report));
    {
        std::lock_guard lock(m_anchorMutex);
        if (m_anchor) {
            m_epoch.Anchor(*std::exchange(m_anchor, std::nullopt));
        }
    }
    HandBefore(report, m_epoch.ApplyAnchor(report));
    WatchBands(report);
    if (report.figures->timestampNoiseSeconds && m_nominal != 0) {
        report.uncertainty = UncertaintyOf(*report.figures->timestampNoiseSeconds,
                                           RateErrorPpm(report.clock), m_nominal,
                                           report.figures->seconds);
    }
    Hand(report);
    if (pulse.count > 0 && ++m_measured == m_count) {
        m_stop.Request(StopReason::kCountReached);
    }
}

void PulseDispatch::FollowReference(const CountedPulse& pulse, PulseReport& report) {
    if (m_reference == nullptr) {
        return;
    }
    std::string whyNot;
    if (!m_reference->TakeDcdRises(m_referenceRises, whyNot)) {
        Event(std::string(record_event::kNoReference) + ": " + whyNot);
        m_reference = nullptr;
        return;
    }
    for (const int64_t rise : m_referenceRises) {
        m_referenceSeconds->OnRise(rise);
    }
    const std::optional<ReferenceRate> rate = m_referenceSeconds->RateAt(pulse.edgeTicks);
    m_clock->SetTicksPerSecond(rate ? std::optional(rate->ticksPerSecond) : std::nullopt);
    report.clock.reference = rate;
    if (rate.has_value() != m_referenceRate.has_value()) {
        HandBefore(report, rate ? record_event::kReferenceOn : record_event::kReferenceLost);
    }
    m_referenceRate = rate;
}

namespace {

// Feeds one watch a pulse's reading, or its lack, and notes what it confirmed.
template <typename Watch>
void Feed(Watch& watch, const std::optional<double>& hertz, PulseReport& report) {
    if (!hertz) {
        watch.NoReading();
        return;
    }
    const BandWatch::Change change = watch.Reading(*hertz, report.unixNanoseconds);
    if (change != BandWatch::Change::kNone) {
        report.bandEvents.push_back({change == BandWatch::Change::kStarted, *watch.Current()});
    }
}

}  // namespace

// A few comparisons a band and a short slope: cheap enough for the receive thread, and the
// record marks the very pulse an event starts or ends at. A glitch repeats the last reading:
// it is no reading of its own.
void PulseDispatch::WatchBands(PulseReport& report) {
    if (m_bands.empty() && m_nominal != 0) {
        for (const Band& band : GridFor(m_grid, m_nominal).bands) {
            m_bands.emplace_back(band);
        }
    }
    const PulseFigures& figures = *report.figures;
    const std::optional<double> hertz =
        figures.frequency && figures.kind == PulseFigures::Kind::kMeasured
            ? std::optional(static_cast<double>(*figures.frequency) / 1e5)
            : std::nullopt;
    for (BandWatch& watch : m_bands) {
        Feed(watch, hertz, report);
    }
    Feed(m_rate, hertz, report);
}

void PulseDispatch::AnchorGridTime(const GridTimeAnchor& anchor) {
    std::lock_guard lock(m_anchorMutex);
    m_anchor = anchor;
}

void PulseDispatch::HandBefore(const PulseReport& pulse, const std::string& event) {
    if (event.empty()) {
        return;
    }
    PulseReport before;
    before.unixNanoseconds = pulse.unixNanoseconds - 1;
    before.event = event;
    before.clock = pulse.clock;
    before.gridTimeSinceNs = pulse.gridTimeSinceNs;
    Hand(before);
}

void PulseDispatch::Hand(const PulseReport& report) {
    for (Output* output : m_outputs) {
        output->Take(report);
    }
}

}  // namespace cyclara::logger
