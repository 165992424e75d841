// The charts of a day's shape: the histogram of the last day's frequency beside the day
// before's, and the daily profile of the days given.
#pragma once

#include "plot/day_shapes.h"
#include "plot/grid_charts.h"

#include <QString>

#include <vector>

namespace cyclara::plot {

// The bins of the histogram.
inline constexpr double kHistogramBinHz = 0.005;

// Either chart, or both one above the other. False when there are no readings or the file
// cannot be written.
bool DrawShapes(const std::vector<RecordRow>& rows, bool histogram, bool profile,
                const ChartOptions& options, const QString& path);

}  // namespace cyclara::plot
