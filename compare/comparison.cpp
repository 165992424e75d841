#include "compare/comparison.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace cyclara::compare {

namespace {

constexpr double kMhzPerHz = 1e3;
// The lag found in this many blocks of the span, each on its own, tells its uncertainty.
constexpr size_t kLagBlocks = 8;

// The correlation of the two series' one-second changes, over consecutive paired seconds: the
// grid's wander is common, a meter's noise is not, and the changes leave out a constant offset.
double ChangeCorrelation(const std::vector<PairedSecond>& pairs, size_t first, size_t last) {
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    int64_t n = 0;
    for (size_t i = first + 1; i < last; ++i) {
        if (pairs[i].second != pairs[i - 1].second + 1) {
            continue;
        }
        const double da = pairs[i].a - pairs[i - 1].a;
        const double db = pairs[i].b - pairs[i - 1].b;
        sa += da, sb += db, saa += da * da, sbb += db * db, sab += da * db, ++n;
    }
    if (n < 2) {
        return 0;
    }
    const double cov = sab - sa * sb / static_cast<double>(n);
    const double va = saa - sa * sa / static_cast<double>(n);
    const double vb = sbb - sb * sb / static_cast<double>(n);
    return va > 0 && vb > 0 ? cov / std::sqrt(va * vb) : 0;
}

// The correlation at every shift of B from -kLongestLagSeconds on: over the whole span (row 0)
// and over each of kLagBlocks blocks of it (rows 1 on), each shift paired once.
std::vector<std::vector<double>> CorrelationsByShift(const Series& a, const Series& b) {
    std::vector<std::vector<double>> rows(kLagBlocks + 1);
    for (int64_t shift = -kLongestLagSeconds; shift <= kLongestLagSeconds; ++shift) {
        const std::vector<PairedSecond> pairs = Paired(a, b, shift);
        rows[0].push_back(ChangeCorrelation(pairs, 0, pairs.size()));
        for (size_t block = 0; block < kLagBlocks; ++block) {
            rows[block + 1].push_back(ChangeCorrelation(pairs, pairs.size() * block / kLagBlocks,
                                                        pairs.size() * (block + 1) / kLagBlocks));
        }
    }
    return rows;
}

// The shift whose pairing correlates best, refined between whole seconds by the parabola
// through the best and its neighbours, and its correlation.
std::pair<double, double> BestLag(const std::vector<double>& correlations) {
    const size_t best = static_cast<size_t>(
        std::max_element(correlations.begin(), correlations.end()) - correlations.begin());
    double offset = 0;
    if (best > 0 && best + 1 < correlations.size()) {
        const double left = correlations[best - 1], centre = correlations[best],
                     right = correlations[best + 1];
        const double curvature = left - 2 * centre + right;
        offset = curvature < 0 ? 0.5 * (left - right) / curvature : 0;
    }
    return {static_cast<double>(best) - kLongestLagSeconds + offset, correlations[best]};
}

// The overlapping Allan deviation of a series of one-second values at `tau` seconds.
std::optional<double> AllanDeviation(const std::vector<double>& values, size_t tau) {
    if (values.size() < 3 * tau) {
        return std::nullopt;
    }
    std::vector<double> sums(values.size() + 1, 0.0);
    std::partial_sum(values.begin(), values.end(), sums.begin() + 1);
    double squares = 0;
    size_t terms = 0;
    for (size_t i = 0; i + 2 * tau <= values.size(); ++i) {
        const double first = (sums[i + tau] - sums[i]) / static_cast<double>(tau);
        const double second = (sums[i + 2 * tau] - sums[i + tau]) / static_cast<double>(tau);
        squares += (second - first) * (second - first);
        ++terms;
    }
    return std::sqrt(squares / (2.0 * static_cast<double>(terms)));
}

Agreement AgreementOf(const std::vector<PairedSecond>& pairs, int nominalHz) {
    Agreement agreement;
    agreement.pairedSeconds = static_cast<int64_t>(pairs.size());
    std::vector<double> differences;
    for (const PairedSecond& pair : pairs) {
        differences.push_back((pair.b - pair.a) * kMhzPerHz);
    }
    const double n = static_cast<double>(differences.size());
    const double mean = std::accumulate(differences.begin(), differences.end(), 0.0) / n;
    double squares = 0;
    for (size_t i = 0; i < differences.size(); ++i) {
        squares += (differences[i] - mean) * (differences[i] - mean);
        if (std::fabs(differences[i]) > std::fabs(agreement.largestDifferenceMhz)) {
            agreement.largestDifferenceMhz = differences[i];
            agreement.largestDifferenceSecond = pairs[i].second;
        }
    }
    agreement.meanDifferenceMhz = mean;
    agreement.differenceSdMhz = n > 1 ? std::sqrt(squares / (n - 1)) : 0;
    // Neighbouring differences are not independent (a meter's noise wanders too): the mean's
    // uncertainty from the scatter of the means of kLagBlocks blocks.
    std::vector<double> blockMeans;
    for (size_t block = 0; block < kLagBlocks; ++block) {
        const size_t first = differences.size() * block / kLagBlocks;
        const size_t last = differences.size() * (block + 1) / kLagBlocks;
        if (last > first) {
            blockMeans.push_back(std::accumulate(differences.begin() + first,
                                                 differences.begin() + last, 0.0) /
                                 static_cast<double>(last - first));
        }
    }
    double blockSquares = 0;
    for (const double blockMean : blockMeans) {
        blockSquares += (blockMean - mean) * (blockMean - mean);
    }
    const double blocks = static_cast<double>(blockMeans.size());
    agreement.meanDifferenceUncertaintyMhz =
        blocks > 1 ? std::sqrt(blockSquares / (blocks - 1) / blocks) : 0;
    for (const size_t tau : {1, 10, 100}) {
        if (const std::optional<double> adev = AllanDeviation(differences, tau)) {
            agreement.allanDeviationMhz.emplace_back(static_cast<int64_t>(tau), *adev);
        }
    }
    // Each second B gains (f_B - f_A) / f_nominal seconds of grid time on A.
    agreement.gridTimeDriftMs =
        std::accumulate(differences.begin(), differences.end(), 0.0) / kMhzPerHz / nominalHz *
        1e3;
    return agreement;
}

}  // namespace

std::vector<PairedSecond> Paired(const Series& a, const Series& b, int64_t shift) {
    std::vector<PairedSecond> pairs;
    for (const auto& [second, hertz] : a.hertzBySecond) {
        if (const auto found = b.hertzBySecond.find(second + shift);
            found != b.hertzBySecond.end()) {
            pairs.push_back({second, hertz, found->second});
        }
    }
    return pairs;
}

std::optional<Comparison> Compare(const Series& a, const Series& b) {
    if (static_cast<int64_t>(a.hertzBySecond.size()) < kFewestPairs ||
        static_cast<int64_t>(b.hertzBySecond.size()) < kFewestPairs) {
        return std::nullopt;
    }
    Comparison comparison;
    comparison.a = a.name;
    comparison.b = b.name;
    const std::vector<std::vector<double>> correlations = CorrelationsByShift(a, b);
    const auto [lag, correlation] = BestLag(correlations[0]);
    comparison.lagSeconds = std::round(lag * 10) / 10;
    comparison.correlation = correlation;
    comparison.sameArea = correlation >= kSameAreaCorrelation;
    double squares = 0;
    for (size_t block = 1; block <= kLagBlocks; ++block) {
        const double blockLag = BestLag(correlations[block]).first;
        squares += (blockLag - lag) * (blockLag - lag);
    }
    comparison.lagUncertaintySeconds =
        std::sqrt(squares / static_cast<double>((kLagBlocks - 1) * kLagBlocks));
    const std::vector<PairedSecond> atLag = Paired(a, b, std::llround(lag));
    const std::vector<PairedSecond> atZero = Paired(a, b, 0);
    if (static_cast<int64_t>(atLag.size()) < kFewestPairs) {
        return std::nullopt;
    }
    const int nominal = a.nominalHz != 0 ? a.nominalHz : 50;
    comparison.atLag = AgreementOf(atLag, nominal);
    if (static_cast<int64_t>(atZero.size()) >= kFewestPairs) {
        comparison.atZeroLag = AgreementOf(atZero, nominal);
    }
    return comparison;
}

std::string Verdict(const Comparison& c) {
    char text[256];
    if (!c.sameArea) {
        std::snprintf(text, sizeof text,
                      "%s and %s do not follow each other (correlation %.2f): two synchronous "
                      "areas, or no grid in one of them; not compared",
                      c.a.c_str(), c.b.c_str(), c.correlation);
        return text;
    }
    const double mean = c.atLag.meanDifferenceMhz;
    std::snprintf(text, sizeof text,
                  "agree to %.1f mHz s.d. after shifting %s by %+.1f s; %s reads %.1f mHz %s",
                  c.atLag.differenceSdMhz, c.b.c_str(), -c.lagSeconds, c.b.c_str(),
                  std::fabs(mean), mean < 0 ? "low" : "high");
    return text;
}

}  // namespace cyclara::compare
