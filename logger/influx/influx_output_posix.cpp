#include "logger/influx/influx_output.h"

#include "logger/credentials.h"
#include "logger/host_name.h"
#include "logger/influx/line_protocol.h"
#include "logger/redacted_url.h"
#include "serial/serial_port.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>

namespace cyclara::logger {

namespace {

using namespace std::chrono_literals;

// A day at one pulse a second, kept while the server is away; past it the oldest are dropped.
// A batch goes at most once a second with at most 5000 points; a failed write is tried again
// after 1 s, then twice as long each time, at most a minute; a clean exit waits 3 s.
constexpr OutputPolicy kInfluxPolicy{
    .queueLimit = 86'400, .batchLimit = 5000, .batchPeriod = 1000ms, .closeWait = 3000ms};
constexpr long kRequestTimeoutSeconds = 10;

std::string WithNanosecondPrecision(const std::string& url) {
    if (url.find("precision=") != std::string::npos) {
        return url;
    }
    return url + (url.find('?') == std::string::npos ? "?" : "&") + "precision=ns";
}

// What the server says of a refused batch, as much as a message can show.
constexpr size_t kShownAnswerBytes = 200;

size_t KeepAnswer(char* bytes, size_t size, size_t count, void* answer) {
    auto& kept = *static_cast<std::string*>(answer);
    kept.append(bytes, std::min(size * count, kShownAnswerBytes - std::min(kShownAnswerBytes,
                                                                            kept.size())));
    return size * count;
}

// The server's verdict on a batch. A 4xx other than a time-out or a rate limit says the points
// themselves are wrong (a field type conflict, too large, beyond the retention period):
// sending them again can never succeed, and would hold up every later point.
struct WriteResult {
    std::string problem;  // empty when the server took the batch
    bool permanent = false;
};

WriteResult Verdict(CURLcode result, long status, const std::string& answer) {
    if (result != CURLE_OK) {
        return {curl_easy_strerror(result)};
    }
    if (status / 100 == 2) {
        return {};
    }
    const bool permanent = status / 100 == 4 && status != 408 && status != 429;
    return {"HTTP status " + std::to_string(status) + (answer.empty() ? "" : ": " + answer),
            permanent};
}

class InfluxWriter : public Destination {
  public:
    InfluxWriter(std::string url, std::string token, std::string device)
        : m_url(WithNanosecondPrecision(url)),
          m_token(std::move(token)),
          m_host(HostName()),
          m_device(std::move(device)),
          m_curl(curl_easy_init()) {}

    ~InfluxWriter() override { curl_easy_cleanup(m_curl); }

    Delivery Deliver(const std::vector<PulseReport>& batch, uint64_t) override {
        std::string lines;
        for (const PulseReport& point : batch) {
            lines += LineProtocol(point, m_host, m_device);
        }
        const WriteResult written = Write(m_curl, lines);
        if (written.problem.empty()) {
            return Delivery::All(batch.size());
        }
        const std::string where = "InfluxDB at " + RedactedUrl(m_url);
        if (written.permanent) {
            return {0, Delivery::Trouble::kRefused,
                    where + " refused " + std::to_string(batch.size()) +
                        " points, which are dropped: " + written.problem};
        }
        return {0, Delivery::Trouble::kPassing, where + ": " + written.problem + "; trying again"};
    }

  private:
    WriteResult Write(CURL* curl, const std::string& batch) const {
        if (curl == nullptr) {
            return {"no HTTP client"};
        }
        curl_slist* headers = nullptr;
        const std::string authorisation = "Authorization: Token " + m_token;
        if (!m_token.empty()) {
            headers = curl_slist_append(headers, authorisation.c_str());
        }
        headers = curl_slist_append(headers, "Content-Type: text/plain; charset=utf-8");
        curl_easy_reset(curl);
        curl_easy_setopt(curl, CURLOPT_URL, m_url.c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, batch.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(batch.size()));
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, kRequestTimeoutSeconds);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        std::string answer;
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &KeepAnswer);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
        const CURLcode result = curl_easy_perform(curl);
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        curl_slist_free_all(headers);
        return Verdict(result, status, answer);
    }

    const std::string m_url;
    const std::string m_token;
    const std::string m_host;
    const std::string m_device;
    CURL* const m_curl;  // the output's thread's
};

}  // namespace

std::unique_ptr<Output> OpenInfluxOutput(const LoggerOptions& options, std::string& whyNot) {
    const std::string& url = options.influx.url;
    if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) {
        whyNot = "--influx takes an http:// or https:// write URL, not " + RedactedUrl(url);
        return nullptr;
    }
    std::string token = ReadCredential("influx-token");
    if (!options.influx.tokenFile.empty()) {
        const std::optional<std::string> fromFile = ReadFirstLine(options.influx.tokenFile);
        if (!fromFile) {
            whyNot = "cannot read the InfluxDB token file " + options.influx.tokenFile;
            return nullptr;
        }
        token = *fromFile;
    }
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    static_cast<void>(initialised);
    const std::string device = options.device.empty() ? DevicePath(options.port) : options.device;
    return std::make_unique<Output>(
        "InfluxDB", std::make_unique<InfluxWriter>(url, token, device), kInfluxPolicy);
}

}  // namespace cyclara::logger
