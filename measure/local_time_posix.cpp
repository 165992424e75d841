#include "measure/measurement_log.h"

#include <time.h>

namespace cyclara {

// localtime_r, not localtime: the window and the logger each have threads of their own, and
// localtime's one shared result would be theirs to overwrite.
LocalTime SystemLocalTime() {
    const time_t now = time(nullptr);
    tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return {1970, 1, 1, 0, 0, 0};
    }
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace cyclara
