// What a wake of the DSR watch means, from the line's state before it, the transitions the
// driver counted and the state after it.
#pragma once

#include "serial/comm_device.h"

#include <cstdint>
#include <optional>

namespace cyclara {

// `wasOn` before the wake, `transitions` counted since (a driver without a counter passes 1
// for a state that differs and 2 for one that does not), `isOn` now. Several transitions in one
// wake mean the edges came faster than the wake: a rising edge among them is still a pulse,
// stamped with the wake's `ticks`. Nothing when nothing changed.
std::optional<DsrChange> DsrChangeOfWake(bool wasOn, uint32_t transitions, bool isOn,
                                         int64_t ticks);

}  // namespace cyclara
