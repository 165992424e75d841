#include "measure/measurement_log.h"

#include <time.h>

namespace cyclara {

// localtime_s, not localtime: the result is this call's own, whatever other threads do.
LocalTime SystemLocalTime() {
    const time_t now = time(nullptr);
    tm local{};
    if (localtime_s(&local, &now) != 0) {
        return {1970, 1, 1, 0, 0, 0};
    }
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace cyclara
