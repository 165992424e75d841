#include "logger/host_name.h"

#include <unistd.h>

namespace cyclara::logger {

std::string HostName() {
    char name[256] = "";
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    return name;
}

}  // namespace cyclara::logger
