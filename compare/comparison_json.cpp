#include "compare/comparison_json.h"

#include <ctime>

namespace cyclara::compare {

namespace {

using Json = nlohmann::json;

Json AgreementObject(const Agreement& a) {
    Json adev = Json::object();
    for (const auto& [tau, value] : a.allanDeviationMhz) {
        adev[std::to_string(tau) + "_s"] = value;
    }
    return {{"paired_seconds", a.pairedSeconds},
            {"mean_difference_mhz", a.meanDifferenceMhz},
            {"mean_difference_uncertainty_mhz", a.meanDifferenceUncertaintyMhz},
            {"difference_sd_mhz", a.differenceSdMhz},
            {"largest_difference_mhz", a.largestDifferenceMhz},
            {"largest_difference_utc", UtcOfSecond(a.largestDifferenceSecond)},
            {"difference_allan_deviation_mhz", adev},
            {"grid_time_drift_ms", a.gridTimeDriftMs}};
}

}  // namespace

std::string UtcOfSecond(int64_t second) {
    const std::time_t time = static_cast<std::time_t>(second);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

Json ComparisonObject(const Comparison& c) {
    return {{"a", c.a},
            {"b", c.b},
            {"lag_s", c.lagSeconds},
            {"lag_uncertainty_s", c.lagUncertaintySeconds},
            {"correlation", c.correlation},
            {"same_area", c.sameArea},
            {"at_lag", AgreementObject(c.atLag)},
            {"at_zero_lag", AgreementObject(c.atZeroLag)},
            {"verdict", Verdict(c)}};
}

}  // namespace cyclara::compare
