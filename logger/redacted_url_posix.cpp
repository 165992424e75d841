#include "logger/redacted_url.h"

#include <curl/curl.h>

#include <memory>

namespace cyclara::logger {

namespace {

using UrlHandle = std::unique_ptr<CURLU, decltype(&curl_url_cleanup)>;
using CurlText = std::unique_ptr<char, decltype(&curl_free)>;

std::string Part(CURLU* url, CURLUPart part) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, 0) != CURLUE_OK) {
        return "";
    }
    return CurlText(text, curl_free).get();
}

}  // namespace

std::string RedactedUrl(const std::string& text) {
    const UrlHandle url(curl_url(), curl_url_cleanup);
    if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
                    CURLUE_OK) {
        return UnparsedUrl(text);
    }
    curl_url_set(url.get(), CURLUPART_USER, nullptr, 0);
    curl_url_set(url.get(), CURLUPART_PASSWORD, nullptr, 0);
    const std::string query = QueryWithoutCredentials(Part(url.get(), CURLUPART_QUERY));
    curl_url_set(url.get(), CURLUPART_QUERY, query.empty() ? nullptr : query.c_str(), 0);
    return Part(url.get(), CURLUPART_URL);
}

}  // namespace cyclara::logger
