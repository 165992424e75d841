// The live comparison's read-only web server: the page, its API and the metrics, on fixed
// routes, each answered from a fresh view of the meters.
#pragma once

#include "compare/live/live_meters.h"

#include <cstdint>
#include <memory>
#include <string>

namespace cyclara::compare {

class LiveServer {
  public:
    virtual ~LiveServer() = default;
    virtual uint16_t Port() const = 0;
};

// Listens on `address` ("PORT" on 127.0.0.1, or "ADDRESS:PORT"); null with `whyNot` set when
// it cannot. Stops when destroyed.
std::unique_ptr<LiveServer> StartLiveServer(const std::string& address, const LiveMeters& meters,
                                            int64_t windowSeconds, std::string& whyNot);

}  // namespace cyclara::compare
