#include "compare/live/live_meters.h"

#include "grid/grid_figures.h"
#include "measure/time_spans.h"

#include <cmath>
#include <cstdio>

namespace cyclara::compare {

namespace {

constexpr const char* kReferenceClock = "reference";

// The UTC second a reading's interval has its middle in: a state's time is the pulse that ends
// the interval, half a second after its middle.
int64_t MiddleSecond(int64_t utcNs) {
    return SecondOf(utcNs - kSecondNs / 2);
}

// A clock whose UTC a meter's seconds can be paired by: kept to UTC, slewing within its bound,
// or on a GPS reference.
bool KeptToUtc(const std::string& clock) {
    return clock == "synchronised" || clock == "slewing" || clock == kReferenceClock;
}

std::string WhyNotPaired(const MeterView& meter) {
    return meter.state == MeterState::kQuiet ? meter.name + " has published nothing for 10 s"
                                             : meter.name + "'s clock is not kept to UTC";
}

}  // namespace

const char* MeterStateName(MeterState state) {
    switch (state) {
        case MeterState::kLive:
            return "live";
        case MeterState::kQuiet:
            return "quiet";
        case MeterState::kUnsynchronised:
            break;
    }
    return "unsynchronised";
}

void LiveMeters::Take(const std::string& name, const StateReading& reading, int64_t receivedNs) {
    std::lock_guard lock(m_mutex);
    Meter& meter = m_meters[name];
    meter.last = reading;
    meter.receivedNs = receivedNs;
    if (!reading.hertz) {
        return;
    }
    if (!CanBeAGrid(*reading.hertz)) {
        ++meter.leftOut;
        return;
    }
    const int64_t second = MiddleSecond(reading.utcNs);
    meter.seconds[second] = {*reading.hertz, reading.utcNs, reading.uncertaintyHz};
    const int64_t newest = meter.seconds.rbegin()->first;
    while (meter.seconds.begin()->first <= newest - m_windowSeconds) {
        meter.seconds.erase(meter.seconds.begin());
    }
}

LiveView LiveMeters::View(int64_t nowNs) const {
    std::lock_guard lock(m_mutex);
    LiveView view;
    for (const auto& [name, meter] : m_meters) {
        view.meters.push_back(ViewOf(name, meter, nowNs));
    }
    for (size_t i = 0; i < view.meters.size(); ++i) {
        for (size_t j = i + 1; j < view.meters.size(); ++j) {
            view.pairs.push_back(PairOf(view.meters[i], view.meters[j]));
        }
    }
    return view;
}

MeterView LiveMeters::ViewOf(const std::string& name, const Meter& meter, int64_t nowNs) const {
    MeterView view;
    view.name = name;
    view.state = nowNs - meter.receivedNs > kQuietAfterNs ? MeterState::kQuiet
                 : KeptToUtc(meter.last.clock)            ? MeterState::kLive
                                                          : MeterState::kUnsynchronised;
    view.lastHertz = meter.last.hertz;
    view.clock = meter.last.clock;
    view.lastUtcNs = meter.last.utcNs;
    view.seconds = meter.seconds.size();
    view.leftOut = meter.leftOut;
    return view;
}

// A meter that is quiet or whose UTC cannot be trusted is marked, not paired: its seconds
// would pull the figures of every pair it is in.
PairView LiveMeters::PairOf(const MeterView& a, const MeterView& b) const {
    PairView pair;
    pair.a = a.name;
    pair.b = b.name;
    if (a.state != MeterState::kLive || b.state != MeterState::kLive) {
        pair.whyNot = WhyNotPaired(a.state != MeterState::kLive ? a : b);
        pair.phase.whyNot = pair.whyNot;
        return pair;
    }
    pair.comparison = Compare(SeriesOf(a.name), SeriesOf(b.name));
    if (!pair.comparison) {
        pair.whyNot = "fewer than " + std::to_string(kFewestPairs) + " seconds paired yet";
    }
    pair.phase = PhaseOf(a.name, b.name);
    return pair;
}

Series LiveMeters::SeriesOf(const std::string& name) const {
    const Meter& meter = m_meters.at(name);
    Series series;
    series.name = name;
    for (const auto& [second, reading] : meter.seconds) {
        series.hertzBySecond[second] = reading.hertz;
    }
    if (!meter.seconds.empty()) {
        series.nominalHz = NominalNear(meter.seconds.rbegin()->second.hertz);
    }
    return series;
}

// Each device pulses at a fixed point of its cycle (where its count of cycles completes), so
// the difference of two sites' pulse times, modulo the cycle, is the phase between their
// voltages, plus whatever each device's own delay adds. Only timestamps kept to GPS can place
// a pulse within a cycle (20 ms at 50 Hz), and only where their scatter is a small part of it.
PhaseView LiveMeters::PhaseOf(const std::string& a, const std::string& b) const {
    PhaseView phase;
    const Meter& first = m_meters.at(a);
    const Meter& second = m_meters.at(b);
    if (first.last.clock != kReferenceClock || second.last.clock != kReferenceClock) {
        phase.whyNot = "a phase needs a GPS reference on both meters";
        return phase;
    }
    if (!first.last.uncertaintyHz || !second.last.uncertaintyHz) {
        phase.whyNot = "the timestamps' scatter is not known yet";
        return phase;
    }
    double sine = 0, cosine = 0, hertz = 0;
    int64_t paired = 0;
    for (const auto& [when, reading] : first.seconds) {
        const auto other = second.seconds.find(when);
        if (other == second.seconds.end()) {
            continue;
        }
        const double period = 1.0 / reading.hertz;
        const double afterSeconds = static_cast<double>(other->second.utcNs - reading.utcNs) / 1e9;
        const double angle = 2 * M_PI * std::remainder(afterSeconds, period) / period;
        sine += std::sin(angle);
        cosine += std::cos(angle);
        hertz += reading.hertz;
        ++paired;
    }
    if (paired == 0) {
        phase.whyNot = "no second paired yet";
        return phase;
    }
    hertz /= static_cast<double>(paired);
    // A one-second frequency's uncertainty is nominal x sqrt(2) x the timestamps' s.d.
    const auto timestampSd = [hertz](double uncertaintyHz) {
        return uncertaintyHz / (hertz * std::sqrt(2.0));
    };
    const double sdSeconds = std::hypot(timestampSd(*first.last.uncertaintyHz),
                                        timestampSd(*second.last.uncertaintyHz));
    phase.uncertaintyDegrees = 360.0 * hertz * sdSeconds;
    if (phase.uncertaintyDegrees > kLargestPhaseUncertaintyDegrees) {
        char why[160];
        std::snprintf(why, sizeof why,
                      "the timestamps scatter by %.3g ms together, %.0f degrees of a cycle",
                      sdSeconds * 1e3, phase.uncertaintyDegrees);
        phase.whyNot = why;
        return phase;
    }
    phase.degrees = std::atan2(sine, cosine) * 180.0 / M_PI;
    return phase;
}

}  // namespace cyclara::compare
