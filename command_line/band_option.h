// The --grid and --band options of every program that tells or draws the grid's bands.
#pragma once

#include "grid/grid_bands.h"

#include <vector>

namespace CLI {
class App;
}

namespace cyclara {

void AddGridOptions(CLI::App& app, GridChoice& grid);

}  // namespace cyclara
