// UTF-8, as the logger keeps its text, and the UTF-16 that Windows' wide functions take.
#pragma once

#include <string>

namespace cyclara::logger {

// Bytes that are no UTF-8 become U+FFFD, as Windows converts them.
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);

}  // namespace cyclara::logger
