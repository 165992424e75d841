#include "logger/influx_sink.h"

#include "logger/credentials.h"
#include "logger/host_name.h"
#include "logger/line_protocol.h"
#include "logger/redacted_url.h"
#include "serial/serial_port.h"

#include <curl/curl.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace cyclara::logger {

namespace {

// Points kept while the server is away: a day at one pulse a second. Past it the oldest are
// dropped, so the newest are there when it comes back.
constexpr size_t kQueueLimit = 86'400;
// A batch goes at most once a second and holds at most this many points.
constexpr size_t kBatchPoints = 5000;
constexpr std::chrono::seconds kBatchPeriod{1};
// A failed write is tried again after 1 s, then twice as long each time, at most a minute.
constexpr std::chrono::seconds kFirstRetry{1};
constexpr std::chrono::seconds kLongestRetry{60};
constexpr long kRequestTimeoutSeconds = 10;
// A clean exit waits this long for the last points to be written.
constexpr std::chrono::seconds kCloseWait{3};

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

class InfluxSink : public QueuedSink {
  public:
    InfluxSink(std::string url, std::string token, std::string device)
        : QueuedSink(kQueueLimit),
          m_url(WithNanosecondPrecision(url)),
          m_token(std::move(token)),
          m_host(HostName()),
          m_device(std::move(device)),
          m_sender([this] { SendLoop(); }) {}

    ~InfluxSink() override { Close(); }

    void Close() override {
        {
            std::lock_guard lock(m_mutex);
            if (m_closing) {
                return;
            }
            m_closing = true;
            m_closeBy = std::chrono::steady_clock::now() + kCloseWait;
        }
        m_changed.notify_all();
        m_sender.join();
        if (m_refused != 0) {
            std::fprintf(stderr, "cyclara-log: InfluxDB refused %llu points in all\n",
                         static_cast<unsigned long long>(m_refused));
        }
    }

    std::string Name() const override { return "InfluxDB"; }

  private:
    // Our own thread, so that a slow or absent server holds up this thread and never the
    // measurement.
    void SendLoop() {
        CURL* curl = curl_easy_init();
        std::chrono::seconds retry = kFirstRetry;
        bool failing = false;
        std::unique_lock lock(m_mutex);
        for (;;) {
            const auto pause = failing ? retry : kBatchPeriod;
            m_changed.wait_for(lock, pause, [this] { return m_closing; });
            const bool lastChance = m_closing;
            if (m_queue.Empty() || (lastChance && std::chrono::steady_clock::now() > m_closeBy)) {
                if (lastChance) {
                    break;
                }
                continue;
            }
            std::vector<PulseReport> points = m_queue.Take(kBatchPoints);
            lock.unlock();
            std::string batch;
            for (const PulseReport& point : points) {
                batch += LineProtocol(point, m_host, m_device);
            }
            const WriteResult written = Write(curl, batch);
            lock.lock();
            if (written.problem.empty()) {
                failing = false;
                retry = kFirstRetry;
            } else if (written.permanent) {
                Refused(points.size(), written.problem);
                failing = false;
            } else {
                if (!failing) {
                    std::fprintf(stderr, "cyclara-log: InfluxDB at %s: %s; trying again\n",
                                 RedactedUrl(m_url).c_str(), written.problem.c_str());
                }
                retry = failing ? std::min(retry * 2, kLongestRetry) : kFirstRetry;
                failing = true;
                m_queue.PutBack(std::move(points));
                if (lastChance) {
                    break;
                }
            }
        }
        lock.unlock();
        curl_easy_cleanup(curl);
    }

    // The sender, under m_mutex: says the first refusal, counts them all.
    void Refused(size_t points, const std::string& problem) {
        if (m_refused == 0) {
            std::fprintf(stderr,
                         "cyclara-log: InfluxDB at %s refused %zu points, which are dropped: "
                         "%s\n",
                         RedactedUrl(m_url).c_str(), points, problem.c_str());
        }
        m_refused += points;
    }

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

    // Both under m_mutex: set by Close (the main thread), read by the sender, which makes the
    // lines off the receive thread.
    bool m_closing = false;
    std::chrono::steady_clock::time_point m_closeBy;
    // Under m_mutex: written by the sender, read by Close once the sender has ended.
    uint64_t m_refused = 0;

    std::thread m_sender;  // declared last: started once everything it uses exists
};

}  // namespace

std::unique_ptr<PulseSink> OpenInfluxSink(const LoggerOptions& options, std::string& whyNot) {
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
    return std::make_unique<InfluxSink>(url, token, device);
}

}  // namespace cyclara::logger
