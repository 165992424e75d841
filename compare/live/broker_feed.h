// Meters' states from an MQTT broker, handed to the live comparison as they arrive.
#pragma once

#include "compare/live/live_meters.h"

#include <memory>
#include <string>

namespace cyclara::compare {

class BrokerFeed {
  public:
    virtual ~BrokerFeed() = default;
};

// Subscribes to `topicFilter` at the broker `url` (mqtt://host[:port]) on a thread of its own,
// reconnecting as long as it lives; every meter's state it receives goes to `meters`. Null with
// `whyNot` for a URL or filter it cannot take.
std::unique_ptr<BrokerFeed> FeedFromBroker(const std::string& url, const std::string& topicFilter,
                                           LiveMeters& meters, std::string& whyNot);

}  // namespace cyclara::compare
