#include "logger/redacted_url.h"

#include <sstream>

namespace cyclara::logger {

namespace {

// InfluxDB 1.x takes u and p; others name a token or a password.
bool CarriesCredential(const std::string& parameter) {
    const std::string name = parameter.substr(0, parameter.find('='));
    return name == "u" || name == "p" || name == "token" || name == "password";
}

}  // namespace

std::string UnparsedUrl(const std::string& text) {
    return text.find_first_of("@?") == std::string::npos ? "\"" + text + "\""
                                                          : "(a URL that does not parse)";
}

std::string QueryWithoutCredentials(const std::string& query) {
    std::istringstream parameters(query);
    std::string kept;
    for (std::string parameter; std::getline(parameters, parameter, '&');) {
        if (!CarriesCredential(parameter)) {
            kept += (kept.empty() ? "" : "&") + parameter;
        }
    }
    return kept;
}

}  // namespace cyclara::logger
