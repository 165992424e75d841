// This process's number, to tell two runs on one machine apart where a name must be unique.
#pragma once

#include <cstdint>

namespace cyclara::logger {

uint64_t ProcessId();

}  // namespace cyclara::logger
