// The stability of a record as a picture: the Allan deviation and the time deviation against
// the averaging time, both on logarithmic axes.
#pragma once

#include "plot/grid_charts.h"
#include "plot/stability.h"

namespace cyclara::plot {

// False when there is nothing to draw or the file cannot be written.
bool DrawStability(const std::vector<StabilityPoint>& points, const ChartOptions& options,
                   const QString& path);

}  // namespace cyclara::plot
