// The two charts of a record: the frequency, with its nominal line, the usual operating band
// and the grid's bands, and the grid time deviation; gaps in the record marked on both, lost
// pulses and the frequency leaving a band on the first.
#pragma once

#include "grid/grid_bands.h"
#include "record/record_file.h"

#include <QSize>
#include <QString>

#include <vector>

namespace cyclara::plot {


struct ChartOptions {
    QSize size{1200, 800};
    bool localTime = false;  // the time axis in the machine's local time instead of UTC
    QString title;
    GridChoice grid;  // whose bands are drawn, and the user's own
};

// The colours a reader of the picture (and its test) tells the marks by.
inline constexpr unsigned kBandColour = 0xFFD6EED6;  // the operating band's fill
inline constexpr unsigned kGapColour = 0xFFC8C8C8;   // where the record has no pulses
inline constexpr unsigned kLostColour = 0xFFE00000;  // a lost pulse
inline constexpr unsigned kBandLineColour = 0xFF2E7D32;  // a band's limits, dashed
inline constexpr unsigned kEventColour = 0xFFE65100;     // where the frequency left a band

// Draws `rows` (of one or more files, in time order) to `path`: PNG, or SVG when the path ends
// in ".svg". False when there is nothing to draw or the file cannot be written.
bool DrawCharts(const std::vector<RecordRow>& rows, const ChartOptions& options,
                const QString& path);

}  // namespace cyclara::plot
