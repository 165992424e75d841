// The frequency bands grid operators judge their grids by, per synchronous area.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cyclara::logger {

struct Band {
    std::string name;            // "standard range"
    double lowHz = 0;            // inside from here...
    double highHz = 0;           // ...to here
    int64_t minimumSeconds = 2;  // an excursion shorter than this is no event
    std::string unit = "Hz";     // of the limits: "Hz/s" for the rate of change
};

struct Grid {
    std::string name;  // as --grid takes it
    int nominal = 50;
    std::vector<Band> bands;
};

const std::vector<Grid>& KnownGrids();
std::optional<Grid> GridNamed(const std::string& name);
// Continental Europe for 50 Hz, North America's Eastern Interconnection for 60 Hz.
Grid DefaultGrid(int nominal);
// The grid `name` names, else the nominal frequency's usual one.
Grid GridFor(const std::string& name, int nominal);
// "alert (50 mHz for 15 min)" as "alert_50_mhz_for_15_min": for topics and entity ids.
std::string BandId(const std::string& name);

}  // namespace cyclara::logger
