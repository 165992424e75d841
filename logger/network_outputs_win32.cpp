#include "logger/influx/influx_output.h"
#include "logger/network_outputs.h"

namespace cyclara::logger {

// InfluxDB goes through Windows' own HTTP client. The MQTT client and the page's HTTP server
// are Debian's libraries, built for Linux only.
std::vector<std::unique_ptr<Output>> OpenNetworkOutputs(const LoggerOptions& options,
                                                        std::string& whyNot) {
    if (!options.mqtt.url.empty()) {
        whyNot = "--mqtt is in the Linux build only";
        return {};
    }
    std::vector<std::unique_ptr<Output>> outputs;
    if (!options.influx.url.empty()) {
        std::unique_ptr<Output> influx = OpenInfluxOutput(options, whyNot);
        if (!influx) {
            return {};
        }
        outputs.push_back(std::move(influx));
    }
    return outputs;
}

std::unique_ptr<Output> OpenLivePage(const LoggerOptions&, std::vector<const Output*>,
                                     std::string& whyNot) {
    whyNot = "--http is in the Linux build only";
    return nullptr;
}

}  // namespace cyclara::logger
