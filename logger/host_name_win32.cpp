#include "logger/host_name.h"

#include <windows.h>

namespace cyclara::logger {

std::string HostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size) || size == 0) {
        return "localhost";
    }
    return std::string(name, size);
}

}  // namespace cyclara::logger
