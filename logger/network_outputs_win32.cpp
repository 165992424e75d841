#include "logger/network_outputs.h"

namespace cyclara::logger {

// The MQTT and HTTP client libraries are Debian's, built for Linux only.
std::vector<std::unique_ptr<Output>> OpenNetworkOutputs(const LoggerOptions& options,
                                                        std::string& whyNot) {
    if (!options.mqtt.url.empty() || !options.influx.url.empty()) {
        whyNot = "--mqtt and --influx are in the Linux build only";
    }
    return {};
}

std::unique_ptr<Output> OpenLivePage(const LoggerOptions&, std::vector<const Output*>,
                                     std::string& whyNot) {
    whyNot = "--http is in the Linux build only";
    return nullptr;
}

}  // namespace cyclara::logger
