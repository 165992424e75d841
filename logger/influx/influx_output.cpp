#include "logger/influx/influx_output.h"

#include "logger/credentials.h"
#include "logger/host_name.h"
#include "logger/influx/http_post.h"
#include "logger/influx/line_protocol.h"
#include "logger/redacted_url.h"

namespace cyclara::logger {

namespace {

using namespace std::chrono_literals;

std::string WithNanosecondPrecision(const std::string& url) {
    if (url.find("precision=") != std::string::npos) {
        return url;
    }
    return url + (url.find('?') == std::string::npos ? "?" : "&") + "precision=ns";
}

// The server's verdict on a batch. A 4xx other than a time-out or a rate limit says the points
// themselves are wrong (a field type conflict, too large, beyond the retention period):
// sending them again can never succeed, and would hold up every later point.
struct WriteResult {
    std::string problem;  // empty when the server took the batch
    bool permanent = false;
};

WriteResult Verdict(const PostAnswer& answer) {
    if (!answer.failure.empty()) {
        return {answer.failure};
    }
    if (answer.status / 100 == 2) {
        return {};
    }
    const bool permanent =
        answer.status / 100 == 4 && answer.status != 408 && answer.status != 429;
    return {"HTTP status " + std::to_string(answer.status) +
                (answer.body.empty() ? "" : ": " + answer.body),
            permanent};
}

class InfluxWriter : public Destination {
  public:
    InfluxWriter(std::string url, std::string token, std::string device)
        : m_url(WithNanosecondPrecision(url)),
          m_token(std::move(token)),
          m_host(HostName()),
          m_device(std::move(device)),
          m_client(MakeHttpPost()) {}

    Delivery Deliver(const std::vector<PulseReport>& batch, uint64_t) override {
        std::string lines;
        for (const PulseReport& point : batch) {
            lines += LineProtocol(point, m_host, m_device);
        }
        const WriteResult written = Verdict(m_client->Post(m_url, m_token, lines));
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
    const std::string m_url;
    const std::string m_token;
    const std::string m_host;
    const std::string m_device;
    const std::unique_ptr<HttpPost> m_client;  // the output's thread's
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
            whyNot = CannotRead("InfluxDB token file", options.influx.tokenFile);
            return nullptr;
        }
        token = *fromFile;
    }
    const std::string device = DevicePathOf(options);
    return std::make_unique<Output>(
        "InfluxDB", std::make_unique<InfluxWriter>(url, token, device), kInfluxPolicy);
}

}  // namespace cyclara::logger
