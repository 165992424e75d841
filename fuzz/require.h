// What a fuzz target's property checks end in: a failed one aborts, which libFuzzer reports
// with the input that caused it.
#pragma once

#include <cstdlib>

namespace cyclara::fuzz {

inline void Require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace cyclara::fuzz
