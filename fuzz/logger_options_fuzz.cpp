// Any command line for cyclara-log: the parser ends with an exit code or with options the
// program can run with, never with a port, speed, count, format or MQTT setting out of range.
#include "fuzz/require.h"
#include "logger/logger_options.h"
#include "serial/serial_port.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using cyclara::fuzz::Require;

bool IsSpeed(int32_t speed) {
    return std::find(cyclara::kSpeedTable.begin(), cyclara::kSpeedTable.end(), speed) !=
           cyclara::kSpeedTable.end();
}

}  // namespace

// Arguments are the input split at its zero bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words{"cyclara-log"};
    words.emplace_back();
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.emplace_back();
        } else {
            words.back() += static_cast<char>(data[i]);
        }
    }
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    cyclara::logger::LoggerOptions options;
    const int code =
        cyclara::logger::ParseLoggerOptions(static_cast<int>(words.size()), argv.data(), options);
    Require(code == -1 || code == 0 || code == 2);
    if (code != -1) {
        return 0;
    }
    const bool portNamed = options.port >= 1 && options.port <= cyclara::kPortCount;
    Require(options.device.empty() == portNamed);
    Require(IsSpeed(options.speed));
    Require(options.count >= 0);
    Require(options.nominal == 0 || options.nominal == 50 || options.nominal == 60);
    Require(options.format == "rows" || options.format == "influx");
    Require(options.mqtt.qos == 0 || options.mqtt.qos == 1);
    return 0;
}
