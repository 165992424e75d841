// The grid's statistics as its operators publish them, in the record's folder: per UTC
// ten seconds (the interval IEC 61000-4-30 measures frequency over), per UTC quarter-hour and
// per UTC day, each row written when its period completes, from the same pulse records as
// every other output.
//   statistics/10s-YYYY-MM-DD.csv    utc,readings,mean_hz
//   statistics/15min-YYYY-MM-DD.csv  utc,readings,lost_pulses,mean_hz,standard_deviation_hz,
//   statistics/days.csv                lowest_hz,lowest_utc,highest_hz,highest_utc,
//                                      seconds_outside_standard_range,
//                                      minute_means_outside_standard_range,
//                                      one "seconds_outside_BAND" column a band of the grid,
//                                      seconds_without_reading,grid_time_deviation_s
// A period the logger was stopped in is written by the run that finishes it, with the readings
// it saw: `readings` and `seconds_without_reading` tell how whole it is.
#pragma once

#include "grid/grid_bands.h"

#include "logger/output/output.h"

#include <memory>
#include <string>

namespace cyclara::logger {

// `grid` names the bands (empty: the nominal frequency's usual grid), with the user's own.
std::unique_ptr<Output> OpenStatisticsOutput(const std::string& recordFolder,
                                             const GridChoice& grid,
                                             std::shared_ptr<DeliveryThread> thread = {});

}  // namespace cyclara::logger
