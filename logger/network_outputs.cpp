#include "logger/network_outputs.h"

#include "logger/influx/influx_output.h"

namespace cyclara::logger {

std::vector<std::unique_ptr<Output>> OpenNetworkOutputs(const LoggerOptions& options,
                                                        std::string& whyNot) {
    std::vector<std::unique_ptr<Output>> outputs;
    if (!options.mqtt.url.empty()) {
        std::unique_ptr<Output> mqtt = OpenMqtt(options, whyNot);
        if (!mqtt) {
            return {};
        }
        outputs.push_back(std::move(mqtt));
    }
    if (!options.influx.url.empty()) {
        std::unique_ptr<Output> influx = OpenInfluxOutput(options, whyNot);
        if (!influx) {
            return {};
        }
        outputs.push_back(std::move(influx));
    }
    return outputs;
}

}  // namespace cyclara::logger
