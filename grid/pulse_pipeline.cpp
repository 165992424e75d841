#include "grid/pulse_pipeline.h"

#include "grid/grid_bands.h"

#include <utility>

namespace cyclara {

namespace {

RunEvent EventOfFigures(const PulseFigures& figures) {
    switch (figures.kind) {
        case PulseFigures::Kind::kReference:
            return EventOfKind(RunEvent::Kind::kStart);
        case PulseFigures::Kind::kIrregular:
            return EventOfKind(RunEvent::Kind::kIrregular);
        case PulseFigures::Kind::kCounterBack:
            return EventOfKind(RunEvent::Kind::kCounterBack);
        case PulseFigures::Kind::kGlitch:
            return EventOfKind(RunEvent::Kind::kGlitch);
        case PulseFigures::Kind::kMeasured:
            break;
    }
    RunEvent event;
    if (figures.lost > 0) {
        event.kind = RunEvent::Kind::kLost;
        event.lostPulses = figures.lost;
    } else if (figures.slipCycles != 0) {
        event.kind = RunEvent::Kind::kCycleSlip;
        event.slipCycles = figures.slipCycles;
    }
    return event;
}

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

PulsePipeline::PulsePipeline(Clock& clock, PipelineSettings settings, Sink sink)
    : m_clockSource(clock),
      m_nominalFixed(settings.nominalHz != 0),
      m_grid(std::move(settings.grid)),
      m_sink(std::move(sink)),
      m_nominalHz(settings.nominalHz),
      m_nominalDecided(m_nominalFixed),
      m_epoch(std::move(settings.epoch), settings.epochDamaged) {}

void PulsePipeline::StartRun(bool followsReference) {
    const int64_t counterFrequency = m_clockSource.CounterFrequency();
    m_gridClock.emplace(counterFrequency);
    m_gridClock->SetNominal(m_nominalHz);
    m_followsReference = followsReference;
    m_referenceSeconds.emplace(counterFrequency);
    m_referenceRate.reset();
}

// Once decided the nominal frequency stays for the process's life: the bands, the epoch and
// every record of the run belong to one grid, and a bit error in a later line cannot move it.
void PulsePipeline::OnDeviceFigure(std::string_view figure) {
    m_deviceFigure = figure;
    if (m_nominalDecided) {
        return;
    }
    if (figure == "50") {
        DecideNominal(50);
    } else if (figure == "60") {
        DecideNominal(60);
    }
}

void PulsePipeline::DecideNominal(int hertz) {
    m_nominalHz = hertz;
    m_nominalDecided = true;
    if (m_gridClock) {
        m_gridClock->SetNominal(hertz);
    }
}

void PulsePipeline::Event(const RunEvent& event) {
    PulseReport report;
    report.unixNanoseconds = m_clockSource.PairWithUtc().unixNanoseconds;
    report.event = event;
    report.clock = CurrentClock();
    report.nominalHz = m_nominalHz;
    Hand(report);
}

void PulsePipeline::ClockRead(const ClockState& clock) {
    std::optional<ClockState> before;
    {
        std::lock_guard lock(m_clockMutex);
        before = std::exchange(m_clockState, clock);
    }
    if (before && std::string_view(ClockWord(*before)) != ClockWord(clock)) {
        Event(EventOfKind(RunEvent::Kind::kClockChanged));
    }
}

ClockState PulsePipeline::CurrentClock() const {
    std::lock_guard lock(m_clockMutex);
    return m_clockState.value_or(ClockState{});
}

void PulsePipeline::AnchorGridTime(const GridTimeAnchor& anchor) {
    std::lock_guard lock(m_anchorMutex);
    m_anchor = anchor;
}

void PulsePipeline::OnReferenceRises(const std::vector<int64_t>& riseTicks) {
    if (!m_followsReference) {
        return;
    }
    for (const int64_t rise : riseTicks) {
        m_referenceSeconds->OnRise(rise);
    }
}

void PulsePipeline::OnReferenceGone(const std::string& reason) {
    if (!m_followsReference) {
        return;
    }
    m_followsReference = false;
    RunEvent event = EventOfKind(RunEvent::Kind::kNoReference);
    event.reason = reason;
    Event(event);
}

void PulsePipeline::OnCountedPulse(const CountedPulse& pulse) {
    // Paired with the realtime clock at every pulse: a wall-clock step moves the times from
    // the next pulse on and never an interval.
    const WallPairing now = m_clockSource.PairWithUtc();
    PulseReport report;
    report.unixNanoseconds = UnixNanosecondsOf(pulse.edgeTicks, now, pulse.counterFrequency);
    report.pulse = pulse;
    report.clock = CurrentClock();
    report.nominalHz = m_nominalHz;
    report.frequencyText = m_deviceFigure;
    FollowReference(pulse, report);
    report.figures = m_gridClock->OnPulse(pulse.edgeTicks);
    report.event = EventOfFigures(*report.figures);
    const RunEvent bridged = m_epoch.Apply(report);
    HandBefore(report, bridged);
    ApplyAnchor(report);
    WatchBands(report);
    if (report.figures->timestampNoiseSeconds && m_nominalHz != 0) {
        report.uncertainty = UncertaintyOf(*report.figures->timestampNoiseSeconds,
                                           RateErrorPpm(report.clock), m_nominalHz,
                                           report.figures->seconds,
                                           OffsetBoundSeconds(report.clock));
    }
    Hand(report);
}

void PulsePipeline::ApplyAnchor(PulseReport& report) {
    {
        std::lock_guard lock(m_anchorMutex);
        if (m_anchor) {
            m_epoch.Anchor(*std::exchange(m_anchor, std::nullopt));
        }
    }
    HandBefore(report, m_epoch.ApplyAnchor(report));
}

void PulsePipeline::FollowReference(const CountedPulse& pulse, PulseReport& report) {
    if (!m_followsReference) {
        return;
    }
    const std::optional<ReferenceRate> rate = m_referenceSeconds->RateAt(pulse.edgeTicks);
    m_gridClock->SetTicksPerSecond(rate ? std::optional(rate->ticksPerSecond) : std::nullopt);
    report.clock.reference = rate;
    if (rate.has_value() != m_referenceRate.has_value()) {
        HandBefore(report, EventOfKind(rate ? RunEvent::Kind::kReferenceOn
                                            : RunEvent::Kind::kReferenceLost));
    }
    m_referenceRate = rate;
}

// A few comparisons a band and a short slope: cheap enough for the pulses' thread, and the
// record marks the very pulse an event starts or ends at. A glitch repeats the last reading:
// it is no reading of its own.
void PulsePipeline::WatchBands(PulseReport& report) {
    if (m_bands.empty() && m_nominalHz != 0) {
        for (const Band& band : GridFor(m_grid, m_nominalHz).bands) {
            m_bands.emplace_back(band);
        }
    }
    const PulseFigures& figures = *report.figures;
    const std::optional<double> hertz =
        figures.frequencyTenMicroHz && figures.kind == PulseFigures::Kind::kMeasured
            ? std::optional(HertzOf(*figures.frequencyTenMicroHz))
            : std::nullopt;
    for (BandWatch& watch : m_bands) {
        Feed(watch, hertz, report);
    }
    Feed(m_rate, hertz, report);
}

void PulsePipeline::HandBefore(const PulseReport& pulse, const RunEvent& event) {
    if (event.kind == RunEvent::Kind::kNone) {
        return;
    }
    PulseReport before;
    before.unixNanoseconds = pulse.unixNanoseconds - 1;
    before.event = event;
    before.clock = pulse.clock;
    before.nominalHz = pulse.nominalHz;
    before.gridTimeSinceNs = pulse.gridTimeSinceNs;
    Hand(before);
}

void PulsePipeline::Hand(const PulseReport& report) {
    m_sink(report);
}

}  // namespace cyclara
