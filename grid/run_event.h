// What happened at a pulse or to the run, as a kind and its fields: readers switch on the kind,
// and only an output a person reads turns it into words.
#pragma once

#include "grid/grid_time_anchor.h"

#include <cstdint>
#include <string>

namespace cyclara {

struct RunEvent {
    enum class Kind {
        kNone,
        // What the figures say of a pulse.
        kStart,        // the reference pulse of an opening
        kIrregular,    // an interval near no whole number of seconds
        kCounterBack,  // a timestamp before the last one: a new reference
        kGlitch,       // an edge far too early to be a second
        kLost,         // `lostPulses` missing inside the interval
        kCycleSlip,    // a second of `slipCycles` cycles more than the nominal's (+1 or -1)
        // What happened to the run.
        kDeviceLost,
        kDeviceBack,
        kStop,
        kNoPulses,  // the device is there, but sends none
        kPulsesAgain,
        kClockChanged,  // the clock's state, which the record's clock field gives, changed
        kTiming,        // how an opening timestamps its edges
        kReferenceOn,   // a reference second measures the intervals from this pulse on
        kReferenceLost,
        kNoReference,  // the reference cannot be followed: `reason` says why
        // The grid time's epoch.
        kEpochBridged,  // a restart's reference pulse goes on from the last, `gapSeconds` later
        kNewEpoch,      // the deviation counts from 0 again, for `newEpochCause`
        kGridTimeAnchored,
        kGridTimeAnchorRefused,
    };
    enum class NewEpochCause {
        kNoEarlierEpoch,
        kStoredEpochDamaged,  // the state an earlier run kept could not be read
        kClockUnsynchronised,
        kGapTooLong,  // `gapSeconds`
        // The seconds counted over a gap of `gapSeconds` lie further from the prediction than
        // the grid and the clock allow.
        kCountDidNotCarryOn,
    };

    Kind kind = Kind::kNone;
    int64_t lostPulses = 0;
    int slipCycles = 0;
    int64_t gapSeconds = 0;
    NewEpochCause newEpochCause = NewEpochCause::kNoEarlierEpoch;
    // kTiming: the wait the opening uses ("driver wait (TIOCMIWAIT)") and its priority.
    std::string timingWait;
    bool realTimePriority = false;
    // kNoReference: the system's own words for why.
    std::string reason;
    // kGridTimeAnchored and kGridTimeAnchorRefused: the operator's figure; what it moved ours
    // by, or the oldest moment held that it lay before.
    GridTimeAnchor anchor;
    int64_t anchorMovedUs = 0;
    int64_t oldestHeldUnixNs = 0;

    bool operator==(const RunEvent&) const = default;
};

inline RunEvent EventOfKind(RunEvent::Kind kind) {
    RunEvent event;
    event.kind = kind;
    return event;
}

}  // namespace cyclara
