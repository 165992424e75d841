#include "serial/dsr_transitions.h"

namespace cyclara {

std::optional<DsrChange> DsrChangeOfWake(bool wasOn, uint32_t transitions, bool isOn,
                                         int64_t ticks) {
    // An odd count must end in the other state and an even one in the same; a count that
    // disagrees missed an edge, so one more is assumed.
    const bool changed = wasOn != isOn;
    if ((transitions % 2 == 1) != changed) {
        ++transitions;
    }
    if (transitions == 0) {
        return std::nullopt;
    }
    const bool rose = !wasOn || transitions >= 2;
    return DsrChange{rose, rose ? ticks : 0, isOn};
}

}  // namespace cyclara
