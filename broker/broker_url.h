// Where an MQTT broker is, as the programs' options give it: mqtt://host[:port] or
// mqtts://host[:port].
#pragma once

#include <optional>
#include <string>

namespace cyclara {

struct BrokerAddress {
    std::string host;
    int port = 0;
    bool tls = false;
};

std::optional<BrokerAddress> ParseBrokerUrl(const std::string& url);

}  // namespace cyclara
