// Where --mqtt points (the broker's URL), and the topic prefix every message is published
// under.
#pragma once

#include "broker/broker_url.h"

#include <string>

namespace cyclara::logger {

// A prefix every message's topic starts with: the broker takes no wildcard in a topic it is
// sent, and an empty level ("a//b", a trailing "/") is legal there but never what was meant.
bool IsPublishablePrefix(const std::string& prefix);

// A client id the broker can be sent: UTF-8 and at most the protocol's 65,535 bytes.
bool IsUsableClientId(const std::string& id);

}  // namespace cyclara::logger
