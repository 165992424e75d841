#include "logger/process_id.h"

#include <unistd.h>

namespace cyclara::logger {

uint64_t ProcessId() {
    return static_cast<uint64_t>(getpid());
}

}  // namespace cyclara::logger
