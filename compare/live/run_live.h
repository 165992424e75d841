// The live comparison: meters' states from a broker, compared over a sliding window until a
// stop signal, on a page, as metrics and as a line a pair now and then.
#pragma once

#include <cstdint>
#include <string>

namespace cyclara::compare {

struct LiveOptions {
    std::string broker;                 // mqtt://host[:port]
    std::string topic = "cyclara/#";    // a filter the meters' state topics match
    std::string http;                   // where the page listens; empty for none
    int64_t windowSeconds = 600;
    int64_t printEverySeconds = 10;
};

// Until SIGINT or SIGTERM; 0 then, 2 for options it cannot take, 1 where it cannot listen.
int RunLive(const LiveOptions& options);

}  // namespace cyclara::compare
