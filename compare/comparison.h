// Two meters' frequencies compared second by second: the clock offset between them found from
// the grid's own wander, which every meter in one synchronous area sees, and then how far they
// agree.
#pragma once

#include "compare/series.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cyclara::compare {

struct Agreement {
    int64_t pairedSeconds = 0;
    double meanDifferenceMhz = 0;  // B - A
    double meanDifferenceUncertaintyMhz = 0;
    double differenceSdMhz = 0;
    double largestDifferenceMhz = 0;  // the largest in size, with its sign
    int64_t largestDifferenceSecond = 0;  // UTC, of A's time
    // The overlapping Allan deviation of the difference at 1, 10 and 100 s, where enough
    // seconds pair: the meters' own noise, which the grid's common wander does not enter.
    std::vector<std::pair<int64_t, double>> allanDeviationMhz;
    // B's grid time less A's over the span: what their frequency difference adds up to.
    double gridTimeDriftMs = 0;
};

struct Comparison {
    std::string a, b;
    // B's reading labelled t + lag is A's labelled t: B's clock runs `lag` seconds ahead of
    // A's. To a tenth of a second where the grid's wander allows, with a standard uncertainty
    // from blocks of the span, each found on its own.
    double lagSeconds = 0;
    double lagUncertaintySeconds = 0;
    // How closely the two follow each other at that lag (the correlation of their changes):
    // meters in one synchronous area come near 1.
    double correlation = 0;
    bool sameArea = false;
    Agreement atLag;
    Agreement atZeroLag;
};

// None when either has, or the two share, too few seconds to compare (fewer than
// kFewestPairs).
inline constexpr int64_t kFewestPairs = 60;
// The largest clock offset looked for, either way.
inline constexpr int64_t kLongestLagSeconds = 60;
// Below this correlation of their changes two series are taken for two synchronous areas.
inline constexpr double kSameAreaCorrelation = 0.5;

std::optional<Comparison> Compare(const Series& a, const Series& b);

// A second of A paired with B's second `shift` later.
struct PairedSecond {
    int64_t second;  // UTC, of A's
    double a, b;     // their hertz
};

// The seconds both have, B's `shift` seconds after A's.
std::vector<PairedSecond> Paired(const Series& a, const Series& b, int64_t shift);

// "agree to 2.2 mHz s.d. after shifting B by +2.0 s; B reads 1.5 mHz low".
std::string Verdict(const Comparison& comparison);

}  // namespace cyclara::compare
