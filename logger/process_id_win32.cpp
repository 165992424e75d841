#include "logger/process_id.h"

#include <windows.h>

namespace cyclara::logger {

uint64_t ProcessId() {
    return GetCurrentProcessId();
}

}  // namespace cyclara::logger
