#include "logger/events/grid_bands.h"

#include <cctype>

namespace cyclara::logger {

// The sources are in the README. An event needs two readings outside (a one-cycle slip is one
// reading), so no band's minimum is below 2 s; where an operator counts only excursions held
// for a time, that time is the minimum.
const std::vector<Grid>& KnownGrids() {
    static const std::vector<Grid> grids{
        {"continental-europe",
         50,
         {{"standard range", 49.95, 50.05, 2},
          {"alert (50 mHz for 15 min)", 49.95, 50.05, 900},
          {"alert (100 mHz for 5 min)", 49.9, 50.1, 300},
          {"full reserve activation", 49.8, 50.2, 2},
          {"emergency limits", 49.0, 51.5, 2}}},
        {"great-britain",
         50,
         {{"operational limits", 49.8, 50.2, 60}, {"statutory limits", 49.5, 50.5, 2}}},
        {"nordic", 50, {{"normal band", 49.9, 50.1, 2}, {"disturbance reserve", 49.5, 50.5, 2}}},
        {"north-america-eastern",
         60,
         {{"frequency trigger limits", 59.95, 60.05, 300}, {"emergency limits", 59.5, 61.8, 2}}},
        {"north-america-western",
         60,
         {{"frequency trigger limits", 59.856, 60.144, 300}, {"emergency limits", 59.5, 61.8, 2}}},
    };
    return grids;
}

std::optional<Grid> GridNamed(const std::string& name) {
    for (const Grid& grid : KnownGrids()) {
        if (grid.name == name) {
            return grid;
        }
    }
    return std::nullopt;
}

Grid DefaultGrid(int nominal) {
    return *GridNamed(nominal == 60 ? "north-america-eastern" : "continental-europe");
}

Grid GridFor(const std::string& name, int nominal) {
    const std::optional<Grid> named = GridNamed(name);
    return named ? *named : DefaultGrid(nominal);
}

std::string BandId(const std::string& name) {
    std::string id;
    for (const char ch : name) {
        if (std::isalnum(static_cast<unsigned char>(ch)) != 0) {
            id += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        } else if (!id.empty() && id.back() != '_') {
            id += '_';
        }
    }
    while (!id.empty() && id.back() == '_') {
        id.pop_back();
    }
    return id;
}

}  // namespace cyclara::logger
