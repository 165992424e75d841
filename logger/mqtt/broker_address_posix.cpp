#include "logger/mqtt/broker_address.h"

#include <mosquitto.h>

#include <regex>

namespace cyclara::logger {

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

bool IsPublishablePrefix(const std::string& prefix) {
    return mosquitto_pub_topic_check(prefix.c_str()) == MOSQ_ERR_SUCCESS && !prefix.empty() &&
           prefix.front() != '/' && prefix.back() != '/' && prefix.find("//") == std::string::npos;
}

bool IsUsableClientId(const std::string& id) {
    return id.size() <= 65535 &&
           mosquitto_validate_utf8(id.c_str(), static_cast<int>(id.size())) == MOSQ_ERR_SUCCESS;
}

}  // namespace cyclara::logger
