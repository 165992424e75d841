#include "grid/grid_bands.h"

#include <cctype>
#include <cmath>
#include <charconv>
#include <sstream>

namespace cyclara {

// The sources are in the README; the standard frequency ranges and the maximum steady-state
// deviations are the System Operation Guideline's (Annex III, table 1). An event needs two readings outside (a one-cycle slip is one
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
          {"emergency limits", 49.0, 51.5, 2}},
         0.05,
         0.2},
        // The alert states as the guideline's Article 18 sets them: outside half the maximum
        // steady-state deviation for the alert state trigger time.
        {"great-britain",
         50,
         {{"operational limits", 49.8, 50.2, 2},
          {"alert (250 mHz for 10 min)", 49.75, 50.25, 600},
          {"statutory limits", 49.5, 50.5, 2}},
         0.2,
         0.5},
        {"nordic",
         50,
         {{"normal band", 49.9, 50.1, 2},
          {"alert (100 mHz for 15 min)", 49.9, 50.1, 900},
          {"alert (250 mHz for 5 min)", 49.75, 50.25, 300},
          {"disturbance reserve", 49.5, 50.5, 2}},
         0.1,
         0.5},
        // The NERC standards define no standard frequency range. BAL-001-2's frequency trigger
        // limits are 60 Hz +- 3 epsilon-1 (18 mHz Eastern, 22.8 Western, 30 ERCOT, 21 Quebec);
        // PRC-024's generator ride-through curves give the range of continuous operation, whose
        // half width stands for the largest steady-state deviation (none is defined); Texas
        // and Quebec take the Eastern's, having no such band here.
        {"north-america-eastern",
         60,
         {{"frequency trigger limits", 59.946, 60.054, 2},
          {"continuous operation", 59.5, 60.5, 2}},
         std::nullopt,
         0.5},
        {"north-america-western",
         60,
         {{"frequency trigger limits", 59.9316, 60.0684, 2},
          {"continuous operation", 59.4, 60.6, 2}},
         std::nullopt,
         0.6},
        {"north-america-texas",
         60,
         {{"frequency trigger limits", 59.91, 60.09, 2}},
         std::nullopt,
         0.5},
        {"north-america-quebec",
         60,
         {{"frequency trigger limits", 59.937, 60.063, 2}},
         std::nullopt,
         0.5},
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

Grid GridFor(const GridChoice& choice, int nominal) {
    const std::optional<Grid> named = GridNamed(choice.name);
    Grid grid = named ? *named : DefaultGrid(nominal);
    grid.bands.insert(grid.bands.end(), choice.own.begin(), choice.own.end());
    return grid;
}

namespace {

// The whole of `text` as a number, whatever the locale; none when any of it is not.
std::optional<double> Number(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && std::isfinite(value) ? std::optional(value)
                                                                       : std::nullopt;
}

}  // namespace

std::optional<Band> ParseBand(const std::string& text) {
    std::vector<std::string> fields;
    std::stringstream parts(text);
    for (std::string field; std::getline(parts, field, ':');) {
        fields.push_back(field);
    }
    if (fields.size() < 3 || fields.size() > 4 || fields[0].empty()) {
        return std::nullopt;
    }
    const std::optional<double> low = Number(fields[1]);
    const std::optional<double> high = Number(fields[2]);
    const std::optional<double> seconds = fields.size() == 4 ? Number(fields[3]) : 2.0;
    if (!low || !high || !seconds || *low <= 0 || *low >= *high || *seconds < 2 ||
        *seconds != std::floor(*seconds)) {
        return std::nullopt;
    }
    Band band;
    band.name = fields[0];
    band.lowHz = *low;
    band.highHz = *high;
    band.minimumSeconds = static_cast<int64_t>(*seconds);
    return band;
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

}  // namespace cyclara
