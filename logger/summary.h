// What an operator reads in the journal instead of a row a second: at most one summary a
// period (pulses, frequency range, grid time, what was lost), on standard error.
#pragma once

#include "logger/output/output.h"

#include <chrono>
#include <memory>

namespace cyclara::logger {

std::unique_ptr<Output> OpenSummary(std::chrono::seconds every,
                                    std::shared_ptr<DeliveryThread> thread = {});

}  // namespace cyclara::logger
