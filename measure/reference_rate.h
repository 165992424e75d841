// The counter's rate against a reference second: a GPS receiver's PPS, timestamped on the same
// path as the mains pulses. Each mains interval can then be measured in true seconds, whatever
// the machine's crystal or its time daemon does, and the crystal's own rate error is measured
// on the way.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

namespace cyclara {

struct ReferenceRate {
    double ticksPerSecond = 0;  // counter ticks in one reference second
    double clockPpm = 0;        // the counter's rate error: positive when it runs fast
    double uncertaintyPpm = 0;  // one standard uncertainty of the estimate

    bool operator==(const ReferenceRate&) const = default;
};

// Owned by one thread.
class ReferenceSeconds {
  public:
    // A least-squares line through the last minute of edges: the timestamp path's noise (tens
    // of microseconds through a USB adapter) averages to well under 0.1 ppm, while the
    // crystal's rate, which follows the room's temperature over minutes, is still followed.
    static constexpr int64_t kWindowSeconds = 64;
    // Fewer edges give no rate: two would, but would hand one edge's noise to every reading.
    static constexpr size_t kFewestEdges = 8;
    // A reference quiet for longer than this is lost: its receiver lost its fix or its cable.
    static constexpr int64_t kLostAfterMilliseconds = 2500;
    // Edges this close after the last are noise on the line, and one that lies further than
    // this from a whole number of seconds after the last restarts the line: the receiver
    // restarted, or its edges are not seconds.
    static constexpr int64_t kShortestMilliseconds = 900;
    static constexpr int64_t kNearMilliseconds = 100;

    explicit ReferenceSeconds(int64_t counterFrequency);

    // A rising edge at counter value `ticks`, in order.
    void OnRise(int64_t ticks);
    // The rate for an interval that ends at `ticks`; none while too few edges are in, or once
    // the reference has been quiet for kLostAfterMilliseconds.
    std::optional<ReferenceRate> RateAt(int64_t ticks) const;

  private:
    int64_t Milliseconds(int64_t ticks) const;

    const int64_t m_counterFrequency;
    // (reference second, counter ticks) of the edges in the window, oldest first.
    std::deque<std::pair<int64_t, int64_t>> m_edges;
};

}  // namespace cyclara
