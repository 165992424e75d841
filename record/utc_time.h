// UTC times as options and recordings give them.
#pragma once

#include <optional>
#include <string>

namespace cyclara {

// "2026-12-07 13:00:00", "2026-12-07T13:00:00.25Z": seconds since 1970; none for another text.
std::optional<double> UtcSeconds(const std::string& text);

}  // namespace cyclara
