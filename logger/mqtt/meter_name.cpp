#include "logger/mqtt/meter_name.h"

#include <cctype>

namespace cyclara::logger {

std::string DeviceInstance(const std::string& devicePath) {
    const size_t slash = devicePath.find_last_of("/\\");
    std::string instance = slash == std::string::npos ? devicePath : devicePath.substr(slash + 1);
    for (char& ch : instance) {
        const bool kept = std::isalnum(static_cast<unsigned char>(ch)) != 0 || ch == '-' ||
                          ch == '_' || ch == '.';
        ch = kept ? ch : '_';
    }
    return instance.empty() ? "device" : instance;
}

MeterName ChooseMeterName(const std::string& host, const std::string& instance,
                          const std::optional<std::string>& remembered, bool hostNameHeld) {
    const std::string named = host + "/" + instance;
    const bool ofThisHost =
        remembered && (*remembered == host || remembered->rfind(host + "/", 0) == 0);
    if (!ofThisHost) {
        return {hostNameHeld ? named : host, "", true};
    }
    if (*remembered == host && hostNameHeld) {
        return {named, "another logger on this machine publishes as " + host + " now; this one "
                       "publishes as " + named + " until it is gone",
                false};
    }
    return {*remembered, "", false};
}

}  // namespace cyclara::logger
