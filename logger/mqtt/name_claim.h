// The name this logger publishes under, held for as long as it runs: a second logger started
// on the machine meanwhile sees it held and takes another.
#pragma once

#include <memory>
#include <string>

namespace cyclara::logger {

class NameClaim {
  public:
    virtual ~NameClaim() = default;
};

struct ClaimedName {
    std::string name;
    std::unique_ptr<NameClaim> claim;  // held while the name is the host name alone
};

// The name held for this process until the claim is destroyed, or the process ends however it
// ends; null when another process holds it.
std::unique_ptr<NameClaim> ClaimName(const std::string& name);

// Chooses by ChooseMeterName, remembering the first choice in `folder` (a record folder this
// logger holds; empty: nothing is remembered, and each run chooses afresh).
ClaimedName NameThisMeter(const std::string& host, const std::string& devicePath,
                          const std::string& folder);

}  // namespace cyclara::logger
