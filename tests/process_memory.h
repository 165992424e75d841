// This process's resident memory, for the tests that check it stays flat, and whether those
// checks can hold: AddressSanitizer keeps freed memory in quarantine, so resident memory grows
// where the program's own does not, and such checks are the other builds'.
#pragma once

#include <fstream>
#include <optional>
#include <string>

namespace cyclara::testing {

// gcc says so by macros; clang by __has_feature.
#if !defined(__has_feature)
#define __has_feature(feature) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || \
    __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

// In KiB, where the system tells it (Linux); else nothing.
inline std::optional<long> ResidentKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return std::nullopt;
}

}  // namespace cyclara::testing
