#include "logger/mqtt/broker_address.h"

#include <mosquitto.h>

namespace cyclara::logger {

bool IsPublishablePrefix(const std::string& prefix) {
    return mosquitto_pub_topic_check(prefix.c_str()) == MOSQ_ERR_SUCCESS && !prefix.empty() &&
           prefix.front() != '/' && prefix.back() != '/' && prefix.find("//") == std::string::npos;
}

bool IsUsableClientId(const std::string& id) {
    return id.size() <= 65535 &&
           mosquitto_validate_utf8(id.c_str(), static_cast<int>(id.size())) == MOSQ_ERR_SUCCESS;
}

}  // namespace cyclara::logger
