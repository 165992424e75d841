#include "logger/influx_sink.h"
#include "logger/mqtt_sink.h"
#include "logger/pulse_sink.h"

namespace cyclara::logger {

std::vector<std::unique_ptr<PulseSink>> OpenSinks(const LoggerOptions& options,
                                                  std::string& whyNot) {
    std::vector<std::unique_ptr<PulseSink>> sinks;
    if (!options.mqtt.url.empty()) {
        std::unique_ptr<PulseSink> mqtt = OpenMqttSink(options.mqtt, whyNot);
        if (!mqtt) {
            return {};
        }
        sinks.push_back(std::move(mqtt));
    }
    if (!options.influx.url.empty()) {
        std::unique_ptr<PulseSink> influx = OpenInfluxSink(options, whyNot);
        if (!influx) {
            return {};
        }
        sinks.push_back(std::move(influx));
    }
    return sinks;
}

}  // namespace cyclara::logger
