#include "logger/utf8_text.h"

#include <cstddef>
#include <cstdint>

namespace cyclara::logger {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

bool IsContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed sequence that starts at `at`, or 0 if none does.
size_t SequenceAt(const std::string& bytes, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(bytes[at + i]); };
    const uint8_t lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    // The length a lead byte announces, and the range its second byte must fall in to be
    // neither overlong, a surrogate, nor past U+10FFFF.
    size_t length = 0;
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > bytes.size() || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if (!IsContinuation(byte(i))) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string ValidUtf8(const std::string& bytes) {
    std::string text;
    for (size_t at = 0; at < bytes.size();) {
        const size_t length = SequenceAt(bytes, at);
        if (length == 0) {
            text += kReplacement;
            ++at;
        } else {
            text.append(bytes, at, length);
            at += length;
        }
    }
    return text;
}

}  // namespace cyclara::logger
