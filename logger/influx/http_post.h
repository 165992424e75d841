// One HTTP POST at a time, from the InfluxDB output's thread, through the platform's client:
// libcurl on Linux, WinHTTP on Windows.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

namespace cyclara::logger {

// What the server said of a refused batch is kept to this much: as much as a message shows.
inline constexpr size_t kShownAnswerBytes = 200;
inline constexpr long kRequestTimeoutSeconds = 10;

struct PostAnswer {
    std::string failure;  // why no answer came (no server, a time-out); empty when one came
    long status = 0;
    std::string body;  // its first kShownAnswerBytes

    static PostAnswer None(std::string why) { return {std::move(why), 0, ""}; }
};

class HttpPost {
  public:
    virtual ~HttpPost() = default;
    // `token`, when not empty, goes as InfluxDB's "Authorization: Token".
    virtual PostAnswer Post(const std::string& url, const std::string& token,
                            const std::string& body) = 0;
};

std::unique_ptr<HttpPost> MakeHttpPost();

}  // namespace cyclara::logger
