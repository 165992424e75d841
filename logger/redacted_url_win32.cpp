#include "logger/redacted_url.h"

#include "logger/wide_text.h"

#include <windows.h>
#include <winhttp.h>

namespace cyclara::logger {

std::string RedactedUrl(const std::string& text) {
    const std::wstring wide = WideFromUtf8(text);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength =
        parts.dwExtraInfoLength = ~DWORD{0};
    if (!WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts)) {
        return UnparsedUrl(text);
    }
    const auto part = [](const wchar_t* start, DWORD length) {
        return Utf8FromWide(std::wstring(start, length));
    };
    const bool defaultPort = parts.nPort == (parts.nScheme == INTERNET_SCHEME_HTTPS
                                                 ? INTERNET_DEFAULT_HTTPS_PORT
                                                 : INTERNET_DEFAULT_HTTP_PORT);
    const std::string extra = part(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    const std::string query =
        QueryWithoutCredentials(extra.empty() ? "" : extra.substr(extra.find('?') + 1));
    return part(parts.lpszScheme, parts.dwSchemeLength) + "://" +
           part(parts.lpszHostName, parts.dwHostNameLength) +
           (defaultPort ? "" : ":" + std::to_string(parts.nPort)) +
           part(parts.lpszUrlPath, parts.dwUrlPathLength) + (query.empty() ? "" : "?" + query);
}

}  // namespace cyclara::logger
