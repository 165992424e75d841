// The per-pulse record as an output: an archive, so its queue holds a day of rows while the
// folder cannot be written (a full disk, a folder gone), and a gap it could not keep is marked.
#pragma once

#include "logger/output/output.h"

#include <memory>
#include <string>

namespace cyclara::logger {

std::unique_ptr<Output> OpenRecordOutput(const std::string& folder,
                                         std::shared_ptr<DeliveryThread> thread = {});

}  // namespace cyclara::logger
