// The --band option of every program that tells or draws the grid's bands.
#pragma once

#include "logger/events/grid_bands.h"

#include <vector>

namespace CLI {
class App;
}

namespace cyclara::logger {

void AddOwnBandOption(CLI::App& app, std::vector<Band>& bands);

}  // namespace cyclara::logger
