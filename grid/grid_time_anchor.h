// The grid operator's published grid time deviation, which makes ours absolute: the operator's
// figure at a moment, against ours at the same moment, gives the offset between the two, and
// the epoch carries it from then on, across restarts, until a gap that cannot be bridged.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>

namespace cyclara {

struct GridTimeAnchor {
    int64_t deviationUs = 0;  // the operator's figure
    int64_t atUnixNs = 0;     // when it held (UTC)

    bool operator==(const GridTimeAnchor&) const = default;
};

// The last hour of one epoch's deviation, pulse by pulse, to find it at an anchor's moment.
// Owned by one thread.
class DeviationHistory {
  public:
    static constexpr int64_t kSpanNs = 3600'000'000'000;

    void Add(int64_t unixNs, int64_t deviationUs);
    void Clear() { m_points.clear(); }
    // Moves every point by `us`, as the epoch's figure moved.
    void Shift(int64_t us);
    // Between the two pulses around `unixNs`, on the straight line through them; none outside
    // the span held.
    std::optional<int64_t> At(int64_t unixNs) const;
    // The oldest moment held; none while empty.
    std::optional<int64_t> Oldest() const;

  private:
    std::deque<std::pair<int64_t, int64_t>> m_points;  // (UTC ns, deviation us), oldest first
};

}  // namespace cyclara
