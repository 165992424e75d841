#include "broker/broker_url.h"

#include <regex>

namespace cyclara {

std::optional<BrokerAddress> ParseBrokerUrl(const std::string& url) {
    static const std::regex form(R"(^(mqtts?)://([^:/\s]+)(?::(\d{1,5}))?/?$)");
    std::smatch parts;
    if (!std::regex_match(url, parts, form)) {
        return std::nullopt;
    }
    BrokerAddress address;
    address.tls = parts[1] == "mqtts";
    address.host = parts[2];
    address.port = parts[3].matched ? std::stoi(parts[3]) : (address.tls ? 8883 : 1883);
    if (address.port < 1 || address.port > 65535) {
        return std::nullopt;
    }
    return address;
}

}  // namespace cyclara
