// The state Home Assistant's sensors read: one message a period, with the period's mean,
// lowest and highest frequency and what its last pulse showed. A figure the period has none
// of is null.
#pragma once

#include "logger/period_figures.h"

#include <string>

namespace cyclara::logger {

std::string SummaryMessage(const PeriodFigures& period, int64_t periodEndNanoseconds);

}  // namespace cyclara::logger
