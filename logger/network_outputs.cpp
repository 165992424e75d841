#include "logger/network_outputs.h"

#include "logger/host_name.h"
#include "logger/influx/influx_output.h"
#include "logger/mqtt/mqtt_output.h"
#include "logger/web/live_output.h"

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

std::unique_ptr<Output> OpenMqtt(const LoggerOptions& options, std::string& whyNot) {
    const std::string source = !options.replay.empty() ? options.replay : DevicePathOf(options);
    // A topic given is the user's choice among their loggers: nothing to claim.
    ClaimedName name = options.mqtt.topic.empty()
                           ? NameThisMeter(HostName(), source, options.recordDir)
                           : ClaimedName{HostName(), nullptr};
    // The device may name the nominal frequency only later: 50 Hz's grid until then.
    return OpenMqttOutput(options.mqtt, std::move(name),
                          GridFor(options.grid, options.nominal != 0 ? options.nominal : 50).bands,
                          whyNot);
}

std::unique_ptr<Output> OpenLivePage(const LoggerOptions& options,
                                     std::vector<const Output*> watched, std::string& whyNot) {
    HttpLimits limits;
    limits.headSeconds = static_cast<unsigned>(options.httpHeadSeconds);
    return OpenLiveOutput(options.http, limits, options.grid, options.recordDir, std::move(watched),
                          whyNot);
}

}  // namespace cyclara::logger
