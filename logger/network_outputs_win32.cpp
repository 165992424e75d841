#include "logger/network_outputs.h"

namespace cyclara::logger {

// The MQTT client and the page's HTTP server are Debian's libraries, built for Linux only.
std::unique_ptr<Output> OpenMqtt(const LoggerOptions&, std::string& whyNot) {
    whyNot = "--mqtt is in the Linux build only";
    return nullptr;
}

std::unique_ptr<Output> OpenLivePage(const LoggerOptions&, std::vector<const Output*>,
                                     std::string& whyNot) {
    whyNot = "--http is in the Linux build only";
    return nullptr;
}

}  // namespace cyclara::logger
