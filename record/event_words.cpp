#include "record/record_layout.h"

#include "measure/wall_clock.h"

#include <cstdio>

namespace cyclara {

namespace {

std::string NewEpochWords(const RunEvent& event) {
    switch (event.newEpochCause) {
        case RunEvent::NewEpochCause::kNoEarlierEpoch:
            break;
        case RunEvent::NewEpochCause::kStoredEpochDamaged:
            return std::string(record_event::kNewEpoch) + ": the kept epoch could not be read";
        case RunEvent::NewEpochCause::kClockUnsynchronised:
            return std::string(record_event::kNewEpoch) + ": the clock is not synchronised";
        case RunEvent::NewEpochCause::kGapTooLong:
            return std::string(record_event::kNewEpoch) + ": a gap of " +
                   std::to_string(event.gapSeconds) +
                   " s is too long to count its seconds";
        case RunEvent::NewEpochCause::kCountDidNotCarryOn:
            return std::string(record_event::kNewEpoch) +
                   ": the device's count did not carry on over a gap of " +
                   std::to_string(event.gapSeconds) + " s";
    }
    return record_event::kNewEpoch;
}

std::string Words(const RunEvent& event, const ClockState& clock) {
    using Kind = RunEvent::Kind;
    switch (event.kind) {
        case Kind::kNone:
            return "";
        case Kind::kStart:
            return record_event::kStart;
        case Kind::kIrregular:
            return record_event::kIrregular;
        case Kind::kCounterBack:
            return record_event::kCounterBack;
        case Kind::kGlitch:
            return record_event::kGlitch;
        case Kind::kLost:
            return std::string(record_event::kLost) + " " + std::to_string(event.lostPulses);
        case Kind::kCycleSlip:
            return std::string(record_event::kCycleSlip) + " " +
                   (event.slipCycles > 0 ? "+" : "") + std::to_string(event.slipCycles);
        case Kind::kDeviceLost:
            return record_event::kDeviceLost;
        case Kind::kDeviceBack:
            return record_event::kDeviceBack;
        case Kind::kStop:
            return record_event::kStop;
        case Kind::kNoPulses:
            return record_event::kNoPulses;
        case Kind::kPulsesAgain:
            return record_event::kPulsesAgain;
        case Kind::kClockChanged:
            return std::string(record_event::kClock) + " " + ClockWord(clock);
        case Kind::kTiming:
            return std::string(record_event::kTiming) + ": " + TimingWords(event);
        case Kind::kReferenceOn:
            return record_event::kReferenceOn;
        case Kind::kReferenceLost:
            return record_event::kReferenceLost;
        case Kind::kNoReference:
            return std::string(record_event::kNoReference) + ": " + event.reason;
        case Kind::kEpochBridged:
            return std::string(record_event::kBridged) + " " + std::to_string(event.gapSeconds) +
                   " s";
        case Kind::kNewEpoch:
            return NewEpochWords(event);
        case Kind::kGridTimeAnchored:
            return std::string(record_event::kGridTimeAnchored) + ": " +
                   FormatSignedSeconds(event.anchor.deviationUs) + " s at " +
                   FormatUtc(event.anchor.atUnixNs) + "; moved by " +
                   FormatSignedSeconds(event.anchorMovedUs) + " s";
        case Kind::kGridTimeAnchorRefused:
            return std::string(record_event::kGridTimeAnchorRefused) + ": " +
                   FormatUtc(event.anchor.atUnixNs) + " lies before the oldest reading held (" +
                   FormatUtc(event.oldestHeldUnixNs) + "; an hour of this epoch at most)";
    }
    return "";
}

}  // namespace

std::string TimingWords(const RunEvent& event) {
    return event.timingWait + "; " + (event.realTimePriority ? "real-time" : "normal") +
           " priority";
}

std::string HertzToTheMillihertz(double hertz) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", hertz);
    return text;
}

std::string BandEventText(const PulseReport::BandEvent& event) {
    const Excursion& excursion = event.excursion;
    return (event.started ? "left the " : "back in the ") + excursion.band + " (" +
           HertzToTheMillihertz(excursion.lowHz) + " to " + HertzToTheMillihertz(excursion.highHz) + " " + excursion.unit + ")";
}

std::string EventWords(const PulseReport& report) {
    return Words(report.event, report.clock);
}

}  // namespace cyclara
