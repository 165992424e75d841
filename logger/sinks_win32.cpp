#include "logger/pulse_sink.h"

namespace cyclara::logger {

// The MQTT client library is Debian's, built for Linux only.
std::vector<std::unique_ptr<PulseSink>> OpenSinks(const LoggerOptions& options,
                                                  std::string& whyNot) {
    if (!options.mqtt.url.empty()) {
        whyNot = "--mqtt is in the Linux build only";
    }
    return {};
}

}  // namespace cyclara::logger
