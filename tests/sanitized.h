// Whether AddressSanitizer is in the build: it keeps freed memory in quarantine, so resident
// memory grows where the program's own does not, and those checks are the other builds'.
#pragma once

namespace cyclara::testing {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

}  // namespace cyclara::testing
