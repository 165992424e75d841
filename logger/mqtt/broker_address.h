// Where --mqtt points: mqtt://host[:port] or mqtts://host[:port], and the topic prefix every
// message is published under.
#pragma once

#include <optional>
#include <string>

namespace cyclara::logger {

struct BrokerAddress {
    std::string host;
    int port = 0;
    bool tls = false;
};

std::optional<BrokerAddress> ParseBrokerUrl(const std::string& url);

// A prefix every message's topic starts with: the broker takes no wildcard in a topic it is
// sent, and an empty level ("a//b", a trailing "/") is legal there but never what was meant.
bool IsPublishablePrefix(const std::string& prefix);

// A client id the broker can be sent: UTF-8 and at most the protocol's 65,535 bytes.
bool IsUsableClientId(const std::string& id);

}  // namespace cyclara::logger
