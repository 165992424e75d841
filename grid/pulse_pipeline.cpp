#include "grid/pulse_pipeline.h"

#include "grid/grid_bands.h"

#include <cmath>
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
    std::lock_guard lock(m_mutex);
    Decide();
    const int64_t counterFrequency = m_clockSource.CounterFrequency();
    m_gridClock.emplace(counterFrequency);
    m_gridClock->SetNominal(m_nominalHz);
    m_followsReference = followsReference;
    m_referenceSeconds.emplace(counterFrequency);
    m_referenceRate.reset();
}

void PulsePipeline::EndRun() {
    std::lock_guard lock(m_mutex);
    Decide();
}

// Once decided the nominal frequency stays for the process's life: the bands, the epoch and
// every record of the run belong to one grid, and a bit error in a later line cannot move it.
void PulsePipeline::OnDeviceFigure(std::string_view figure) {
    std::lock_guard lock(m_mutex);
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
    std::lock_guard lock(m_mutex);
    EventLocked(event);
}

void PulsePipeline::EventLocked(const RunEvent& event) {
    SettleLocked();
    PulseReport report;
    report.unixNanoseconds = m_clockSource.PairWithUtc().unixNanoseconds;
    report.event = event;
    report.clock = m_clockState.value_or(ClockState{});
    report.nominalHz = m_nominalHz;
    // No edge comes after a stop or a lost device to decide a waiting pulse.
    const bool ends = event.kind == RunEvent::Kind::kStop ||
                      event.kind == RunEvent::Kind::kDeviceLost;
    if (m_waiting && !ends && m_behind.size() < kMostBehind) {
        m_behind.push_back({std::nullopt, report});
        return;
    }
    Decide();
    Hand(report);
}

void PulsePipeline::ClockRead(const ClockState& read) {
    std::lock_guard lock(m_mutex);
    ClockState clock = read;
    clock.slewing = m_slewing;
    const std::optional<ClockState> before = std::exchange(m_clockState, clock);
    if (before && std::string_view(ClockWord(*before)) != ClockWord(clock)) {
        EventLocked(EventOfKind(RunEvent::Kind::kClockChanged));
    }
}

void PulsePipeline::AnchorGridTime(const GridTimeAnchor& anchor) {
    std::lock_guard lock(m_mutex);
    m_anchor = anchor;
}

void PulsePipeline::Settle() {
    std::lock_guard lock(m_mutex);
    SettleLocked();
}

void PulsePipeline::SettleLocked() {
    if (m_waiting && m_clockSource.CounterTicks() > m_gridClock->LastChanceTicks()) {
        Decide();
    }
}

void PulsePipeline::OnReferenceRises(const std::vector<int64_t>& riseTicks) {
    std::lock_guard lock(m_mutex);
    if (!m_followsReference) {
        return;
    }
    for (const int64_t rise : riseTicks) {
        m_referenceSeconds->OnRise(rise);
    }
}

void PulsePipeline::OnReferenceGone(const std::string& reason) {
    std::lock_guard lock(m_mutex);
    if (!m_followsReference) {
        return;
    }
    m_followsReference = false;
    RunEvent event = EventOfKind(RunEvent::Kind::kNoReference);
    event.reason = reason;
    EventLocked(event);
}

void PulsePipeline::OnCountedPulse(const CountedPulse& pulse) {
    // Paired with the realtime clock at every pulse: a wall-clock step moves the times from
    // the next pulse on and never an interval.
    const WallPairing now = m_clockSource.PairWithUtc();
    const std::optional<ClockPair> clocks = m_clockSource.RawAndDisciplined();
    std::lock_guard lock(m_mutex);
    Take({pulse, UnixNanosecondsOf(pulse.edgeTicks, now, pulse.counterFrequency),
          m_deviceFigure, m_clockState.value_or(ClockState{}), clocks});
}

// Of two edges that may each be the next second, the one nearer the expected second is
// counted and the other is a glitch: a spurious edge ahead of the true one (a contact that
// bounces, interference) no longer makes two false readings. Only an early edge waits, since
// an edge after the expected second cannot be beaten by a later one.
void PulsePipeline::Take(const Arrival& edge) {
    const int64_t ticks = edge.pulse.edgeTicks;
    if (m_waiting && m_gridClock->MayBeTheNextSecond(ticks)) {
        if (!m_gridClock->Nearer(ticks, m_waiting->pulse.edgeTicks)) {
            if (m_behind.size() < kMostBehind) {
                m_behind.push_back({edge, {}});
                return;
            }
        } else {
            const Arrival beaten = *std::exchange(m_waiting, std::nullopt);
            Measure(beaten, true);
            HandBehind();
        }
    }
    Decide();
    if (m_gridClock->WantsTheNextEdge(ticks)) {
        m_waiting = edge;
        return;
    }
    Measure(edge, false);
}

void PulsePipeline::Decide() {
    if (!m_waiting) {
        return;
    }
    const Arrival decided = *std::exchange(m_waiting, std::nullopt);
    Measure(decided, false);
    HandBehind();
}

void PulsePipeline::HandBehind() {
    for (const Behind& behind : std::exchange(m_behind, {})) {
        if (behind.edge) {
            Measure(*behind.edge, true);
        } else {
            Hand(behind.event);
        }
    }
}

void PulsePipeline::Measure(const Arrival& edge, bool skip) {
    PulseReport report;
    report.unixNanoseconds = edge.unixNanoseconds;
    report.pulse = edge.pulse;
    report.clock = edge.clock;
    report.nominalHz = m_nominalHz;
    report.frequencyText = edge.frequencyText;
    FollowReference(edge.pulse, report);
    if (!skip) {
        FollowSlew(edge, report);
    }
    const int64_t ticks = edge.pulse.edgeTicks;
    report.figures = skip ? m_gridClock->Skip(ticks) : m_gridClock->OnPulse(ticks);
    report.event = EventOfFigures(*report.figures);
    KnowTheGrid();
    const RunEvent bridged = m_epoch.Apply(report);
    HandBefore(report, bridged);
    ApplyAnchor(report);
    WatchBands(report);
    if (report.figures->timestampNoiseSeconds && m_nominalHz != 0) {
        const int64_t epochSeconds =
            report.gridTimeSinceNs != 0
                ? (report.unixNanoseconds - report.gridTimeSinceNs) / kSecondNs
                : 0;
        report.uncertainty = UncertaintyOf(*report.figures->timestampNoiseSeconds,
                                           RateErrorPpm(report.clock), m_nominalHz,
                                           report.figures->seconds, epochSeconds,
                                           OffsetBoundSeconds(report.clock));
        // A slew moves the reading by its rate while it runs: that much more uncertain.
        report.uncertainty->frequencyHz =
            std::hypot(report.uncertainty->frequencyHz,
                       m_nominalHz * std::fabs(m_slew.DeparturePpm()) * 1e-6);
    }
    Hand(report);
}

void PulsePipeline::ApplyAnchor(PulseReport& report) {
    if (m_anchor) {
        m_epoch.Anchor(*std::exchange(m_anchor, std::nullopt));
    }
    HandBefore(report, m_epoch.ApplyAnchor(report));
}

// The disciplined clock against the raw crystal at every counted pulse: a slew flags the very
// first reading it moves, where a look every few seconds came too late for some.
void PulsePipeline::FollowSlew(const Arrival& edge, PulseReport& report) {
    if (!edge.clocks) {
        return;
    }
    const bool slewing = m_slew.Sample(edge.clocks->rawNs, edge.clocks->disciplinedNs);
    // As the pulse before left it: an edge that came while another waited saw the state then.
    ClockState before = report.clock;
    before.slewing = m_slewing;
    report.clock.slewing = m_slewing = slewing;
    if (m_clockState) {
        m_clockState->slewing = slewing;
    }
    if (std::string_view(ClockWord(before)) != ClockWord(report.clock)) {
        HandBefore(report, EventOfKind(RunEvent::Kind::kClockChanged));
    }
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
// record marks the very pulse an event starts or ends at. A glitch is no second at all: the
// seconds around it read as one, so it breaks no confirmation (a contact that bounces for
// seconds would otherwise hide every change meanwhile).
void PulsePipeline::WatchBands(PulseReport& report) {
    const PulseFigures& figures = *report.figures;
    if (figures.kind == PulseFigures::Kind::kGlitch) {
        return;
    }
    const std::optional<double> hertz =
        figures.frequencyTenMicroHz && figures.kind == PulseFigures::Kind::kMeasured
            ? std::optional(HertzOf(*figures.frequencyTenMicroHz))
            : std::nullopt;
    for (BandWatch& watch : m_bands) {
        Feed(watch, hertz, report);
    }
    Feed(m_rate, hertz, report);
}

// Once the nominal frequency is known: the bands to watch and how far the grid may wander.
void PulsePipeline::KnowTheGrid() {
    if (!m_bands.empty() || m_nominalHz == 0) {
        return;
    }
    const Grid grid = GridFor(m_grid, m_nominalHz);
    for (const Band& band : grid.bands) {
        m_bands.emplace_back(band);
    }
    m_epoch.AllowWander(grid.wanderHz);
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
