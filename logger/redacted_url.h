// URLs as messages may show them: messages go to a terminal or the journal, which others read.
#pragma once

#include <string>

namespace cyclara::logger {

// `url` without its user information (user:password@) and without the query parameters that
// carry credentials (InfluxDB's u and p, token, password); the rest as given. A URL that does
// not parse is shown as UnparsedUrl shows it.
std::string RedactedUrl(const std::string& url);

// A text that is no URL, as messages may show it: as given where nothing in it can be a
// credential (no user information, no query), else only that it does not parse.
std::string UnparsedUrl(const std::string& text);

// A URL's query (after its '?') without the parameters that carry credentials.
std::string QueryWithoutCredentials(const std::string& query);

}  // namespace cyclara::logger
