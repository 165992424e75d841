// A file that holds the grid operator's latest figure as SECONDS@UTC, which a job of the user's
// (a fetch from the operator's site, or a hand) rewrites while the logger runs.
#pragma once

#include "grid/grid_time_anchor.h"

#include <optional>
#include <string>

namespace cyclara::logger {

// "SECONDS@UTC": "-12.345@2026-12-08T14:00:00Z", the UTC time with or without six decimals.
std::optional<GridTimeAnchor> ParseGridTimeAnchor(const std::string& text);


class AnchorFile {
  public:
    explicit AnchorFile(std::string path) : m_path(std::move(path)) {}

    // The main thread, now and then: the anchor the file holds when its text changed since the
    // last look; a text that is no anchor is said once on standard error.
    std::optional<GridTimeAnchor> Look();

  private:
    const std::string m_path;
    std::optional<std::string> m_lastText;
    bool m_toldNotAFile = false;  // said once until a file is there again
};

}  // namespace cyclara::logger
