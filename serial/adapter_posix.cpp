#include "serial/adapter.h"

#include <filesystem>
#include <system_error>

namespace cyclara {

// /dev/ttyUSB0 is /sys/class/tty/ttyUSB0, whose device/driver link names the driver.
Adapter FindAdapter(const std::string& devicePath, const std::string& sysfs) {
    std::error_code error;
    const std::filesystem::path device = std::filesystem::canonical(devicePath, error);
    if (error) {
        return {};
    }
    // A pseudo-terminal's slave side has no sysfs entry: it is known by where devpts keeps it.
    if (device.parent_path().filename() == "pts") {
        return {Adapter::Kind::kPseudoTerminal, ""};
    }
    const std::filesystem::path driver = std::filesystem::read_symlink(
        std::filesystem::path(sysfs) / "class/tty" / device.filename() / "device/driver", error);
    return error ? Adapter{} : AdapterOfDriver(driver.filename().string());
}

}  // namespace cyclara
