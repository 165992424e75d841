// The device's text is bytes: a bit error on the line can make any of them. Outputs whose
// format is UTF-8 (JSON, InfluxDB's line protocol) take it through here.
#pragma once

#include <string>

namespace cyclara::logger {

// `bytes` with each byte that is not part of a well-formed UTF-8 sequence (a stray
// continuation, a truncated, overlong or surrogate sequence, one past U+10FFFF) replaced by
// U+FFFD, the replacement character.
std::string ValidUtf8(const std::string& bytes);

}  // namespace cyclara::logger
