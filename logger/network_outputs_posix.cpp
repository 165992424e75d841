#include "logger/influx/influx_output.h"
#include "logger/mqtt/mqtt_output.h"
#include "logger/network_outputs.h"
#include "logger/web/live_output.h"

namespace cyclara::logger {

std::vector<std::unique_ptr<Output>> OpenNetworkOutputs(const LoggerOptions& options,
                                                        std::string& whyNot) {
    std::vector<std::unique_ptr<Output>> outputs;
    if (!options.mqtt.url.empty()) {
        // The device may name the nominal frequency only later: 50 Hz's grid until then.
        std::unique_ptr<Output> mqtt = OpenMqttOutput(
            options.mqtt, GridFor(options.grid, options.nominal != 0 ? options.nominal : 50).bands,
            whyNot);
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

std::unique_ptr<Output> OpenLivePage(const LoggerOptions& options,
                                     std::vector<const Output*> watched, std::string& whyNot) {
    return OpenLiveOutput(options.http, options.grid, options.recordDir, std::move(watched),
                          whyNot);
}

}  // namespace cyclara::logger
