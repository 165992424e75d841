// The frequency bands grid operators judge their grids by, per synchronous area.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cyclara {

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
    // The standard frequency range's half width, where the area's operators define one.
    std::optional<double> standardRangeHz;
    // The largest steady-state deviation from nominal the area's operators plan for: how far
    // a mean over a minute or two may lie from the one before.
    double wanderHz = 0.2;
};

// The user's choice: a synchronous area by name (empty: the nominal frequency's usual one),
// and bands of their own beside its bands.
struct GridChoice {
    std::string name;
    std::vector<Band> own;
};

const std::vector<Grid>& KnownGrids();
std::optional<Grid> GridNamed(const std::string& name);
// Continental Europe for 50 Hz, North America's Eastern Interconnection for 60 Hz.
Grid DefaultGrid(int nominal);
// The grid the choice names, else the nominal frequency's usual one, with the own bands
// after its own.
Grid GridFor(const GridChoice& choice, int nominal);
// "NAME:LOW:HIGH" or "NAME:LOW:HIGH:SECONDS" (the minimum duration, 2 s at the least, the
// default: no event starts on one reading); none for another text.
std::optional<Band> ParseBand(const std::string& text);
// "alert (50 mHz for 15 min)" as "alert_50_mhz_for_15_min": for topics and entity ids.
std::string BandId(const std::string& name);

}  // namespace cyclara
