#include "logger/mqtt/mqtt_output.h"
#include "logger/network_outputs.h"
#include "logger/web/live_output.h"

namespace cyclara::logger {

std::unique_ptr<Output> OpenMqtt(const LoggerOptions& options, std::string& whyNot) {
    // The device may name the nominal frequency only later: 50 Hz's grid until then.
    return OpenMqttOutput(options.mqtt,
                          GridFor(options.grid, options.nominal != 0 ? options.nominal : 50).bands,
                          whyNot);
}

std::unique_ptr<Output> OpenLivePage(const LoggerOptions& options,
                                     std::vector<const Output*> watched, std::string& whyNot) {
    return OpenLiveOutput(options.http, options.grid, options.recordDir, std::move(watched),
                          whyNot);
}

}  // namespace cyclara::logger
