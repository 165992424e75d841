// The calling thread's name as tools show it (top -H, /proc/PID/task/*/comm, a debugger), so
// that each output's cost can be read from outside.
#pragma once

#include <string>

namespace cyclara::logger {

void NameThisThread(const std::string& name);

}  // namespace cyclara::logger
