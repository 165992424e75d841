// A comparison as JSON, the names saying their units, for scripts and the live API.
#pragma once

#include "compare/comparison.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

namespace cyclara::compare {

nlohmann::json ComparisonObject(const Comparison& comparison);
// "2026-12-07T13:00:00Z".
std::string UtcOfSecond(int64_t second);

}  // namespace cyclara::compare
