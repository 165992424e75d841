#include "logger/mqtt_sink.h"

#include "logger/credentials.h"
#include "logger/host_name.h"
#include "logger/logger_options.h"
#include "logger/pulse_record.h"
#include "logger/redacted_url.h"
#include "logger/utf8_text.h"
#include "measure/wall_clock.h"

#include <mosquitto.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <regex>
#include <thread>

namespace cyclara::logger {

namespace {

using Json = nlohmann::json;

// Messages kept while the broker is away: a quarter of an hour at one pulse a second. Past
// it the oldest are dropped, so the newest are there when it comes back.
constexpr size_t kQueueLimit = 1000;
constexpr int kKeepAliveSeconds = 30;
// A state comes every second; ten without one and Home Assistant shows the sensors unavailable.
constexpr int kExpireAfterSeconds = 10;
constexpr int kRefusalReasons = 1000;
// Reconnection waits 1 s, then twice as long each time, at most a minute.
constexpr unsigned kFirstRetrySeconds = 1;
constexpr unsigned kLongestRetrySeconds = 60;
// A clean exit waits this long for the queue to reach the broker.
constexpr std::chrono::milliseconds kCloseWait{2000};

struct BrokerAddress {
    std::string host;
    int port = 0;
    bool tls = false;
};

std::optional<BrokerAddress> ParseUrl(const std::string& url) {
    static const std::regex form(R"(^(mqtts?)://([^:/\s]+)(?::(\d{1,5}))?/?$)");
    std::smatch parts;
    if (!std::regex_match(url, parts, form)) {
        return std::nullopt;
    }
    BrokerAddress address;
    address.tls = parts[1] == "mqtts";
    address.host = parts[2];
    address.port = parts[3].matched ? std::stoi(parts[3]) : (address.tls ? 8883 : 1883);
    if (address.port < 1 || address.port > 65535) {
        return std::nullopt;
    }
    return address;
}

// Home Assistant's ids take letters, digits and underscores.
std::string AsId(const std::string& text) {
    std::string id;
    for (const char ch : text) {
        id += std::isalnum(static_cast<unsigned char>(ch)) != 0 ? ch : '_';
    }
    return id;
}

std::optional<std::string> ReadPassword(const LoggerOptions::Mqtt& options, std::string& whyNot) {
    if (!options.passwordFile.empty()) {
        std::optional<std::string> password = ReadFirstLine(options.passwordFile);
        if (!password) {
            whyNot = "cannot read the MQTT password file " + options.passwordFile;
        }
        return password;
    }
    if (const char* fromEnvironment = std::getenv("CYCLARA_MQTT_PASSWORD")) {
        return std::string(fromEnvironment);
    }
    return ReadCredential("mqtt-password");
}

// A prefix every message's topic starts with: the broker takes no wildcard in a topic it is
// sent, and an empty level ("a//b", a trailing "/") is legal there but never what was meant.
bool IsPublishablePrefix(const std::string& prefix) {
    return mosquitto_pub_topic_check(prefix.c_str()) == MOSQ_ERR_SUCCESS &&
           !prefix.empty() && prefix.front() != '/' && prefix.back() != '/' &&
           prefix.find("//") == std::string::npos;
}

// Never throws: a name or topic given in another encoding shows replacement characters.
std::string Serialised(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json NumberOrNull(const std::optional<int64_t>& hundredThousandths) {
    return hundredThousandths ? Json(static_cast<double>(*hundredThousandths) / 1e5) : Json();
}

class MqttSink : public QueuedSink {
  public:
    MqttSink(const LoggerOptions::Mqtt& options, BrokerAddress broker, std::string password,
             std::string prefix)
        : QueuedSink(kQueueLimit),
          m_options(options),
          m_broker(std::move(broker)),
          m_host(HostName()),
          m_prefix(std::move(prefix)),
          m_client(mosquitto_new(ClientId().c_str(), true, this)) {
        mosquitto_connect_callback_set(m_client, &MqttSink::OnConnect);
        mosquitto_disconnect_callback_set(m_client, &MqttSink::OnDisconnect);
        mosquitto_reconnect_delay_set(m_client, kFirstRetrySeconds, kLongestRetrySeconds, true);
        if (!options.user.empty()) {
            mosquitto_username_pw_set(m_client, options.user.c_str(), password.c_str());
        }
        if (m_broker.tls &&
            mosquitto_tls_set(m_client, options.caFile.empty() ? nullptr : options.caFile.c_str(),
                              options.caFile.empty() ? "/etc/ssl/certs" : nullptr, nullptr,
                              nullptr, nullptr) != MOSQ_ERR_SUCCESS) {
            m_setupProblem = "TLS cannot be set up with the certificate authority " +
                             (options.caFile.empty() ? "/etc/ssl/certs" : options.caFile);
        }
        const std::string availability = Availability();
        if (mosquitto_will_set(m_client, availability.c_str(), 7, "offline", 1, true) !=
            MOSQ_ERR_SUCCESS) {
            m_setupProblem = "the last will cannot be set on " + availability;
        }
        // A broker that is away now is tried again by the client's loop, with its back-off.
        if (const int result = m_setupProblem.empty()
                                   ? mosquitto_connect_async(m_client, m_broker.host.c_str(),
                                                             m_broker.port, kKeepAliveSeconds)
                                   : MOSQ_ERR_SUCCESS;
            result != MOSQ_ERR_SUCCESS) {
            SayProblem(result, std::string("cannot be reached: ") + mosquitto_strerror(result));
        }
        mosquitto_loop_start(m_client);
        m_sender = std::thread([this] { SendLoop(); });
    }

    ~MqttSink() override {
        Close();
        mosquitto_destroy(m_client);
    }

    void Close() override {
        {
            std::unique_lock lock(m_mutex);
            if (m_closed) {
                return;
            }
            m_changed.wait_for(lock, kCloseWait, [this] { return m_queue.Empty() || !m_connected; });
            m_closed = true;
        }
        m_changed.notify_all();
        m_sender.join();
        const std::string availability = Availability();
        mosquitto_publish(m_client, nullptr, availability.c_str(), 7, "offline", 1, true);
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, false);
    }

    std::string Name() const override { return "MQTT"; }

    // What makes the client unusable whatever the broker does (a certificate authority that
    // cannot be read); empty when there is nothing.
    const std::string& SetupProblem() const { return m_setupProblem; }

  private:
    std::string ClientId() const {
        return m_options.clientId.empty() ? "cyclara-" + m_host + "-" + std::to_string(getpid())
                                          : m_options.clientId;
    }
    std::string Availability() const { return m_prefix + "/availability"; }
    std::string State() const { return m_prefix + "/state"; }

    // On the client's thread.
    static void OnConnect(mosquitto*, void* self, int result) {
        static_cast<MqttSink*>(self)->Connected(result);
    }
    static void OnDisconnect(mosquitto*, void* self, int result) {
        auto* sink = static_cast<MqttSink*>(self);
        if (result != MOSQ_ERR_SUCCESS) {
            sink->SayProblem(result,
                             std::string("cannot be reached: ") + mosquitto_strerror(result));
        }
        {
            std::lock_guard lock(sink->m_mutex);
            sink->m_connected = false;
        }
        sink->m_changed.notify_all();
    }

    // Said once for each new reason, naming the broker; the client keeps trying with its
    // back-off. The client's thread's, and the constructor's before that thread starts.
    void SayProblem(int reason, const std::string& problem) {
        if (reason != m_lastProblem.exchange(reason)) {
            std::fprintf(stderr, "cyclara-log: the MQTT broker %s:%d %s\n", m_broker.host.c_str(),
                         m_broker.port, problem.c_str());
        }
    }

    void Connected(int result) {
        if (result != 0) {
            // Apart from the client's own codes, which a refusal's may equal.
            SayProblem(kRefusalReasons + result,
                       std::string("refused the connection: ") + mosquitto_connack_string(result));
            return;
        }
        m_lastProblem = 0;
        {
            std::lock_guard lock(m_mutex);
            m_connected = true;
            m_announce = true;
        }
        m_changed.notify_all();
    }

    // Our own thread: takes the queue to the client while the broker is there, so that a slow
    // or absent broker holds up this thread and never the measurement.
    void SendLoop() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] {
                return m_closed || (m_connected && (m_announce || !m_queue.Empty()));
            });
            if (m_closed) {
                return;
            }
            if (m_announce) {
                m_announce = false;
                lock.unlock();
                Announce();
                lock.lock();
                continue;
            }
            std::vector<PulseReport> taken = m_queue.Take(1);
            lock.unlock();
            const std::string message = StateMessage(taken.front());
            const int sent = mosquitto_publish(m_client, nullptr, State().c_str(),
                                               static_cast<int>(message.size()), message.data(),
                                               m_options.qos, false);
            lock.lock();
            if (sent != MOSQ_ERR_SUCCESS) {
                // The disconnect callback follows; the pulse waits for the next connection.
                m_queue.PutBack(std::move(taken));
                m_connected = false;
            }
            m_changed.notify_all();
        }
    }

    void Announce() {
        const std::string availability = Availability();
        mosquitto_publish(m_client, nullptr, availability.c_str(), 6, "online", 1, true);
        if (!m_options.noDiscovery) {
            for (const auto& [topic, config] : DiscoveryMessages()) {
                const std::string text = Serialised(config);
                mosquitto_publish(m_client, nullptr, topic.c_str(), static_cast<int>(text.size()),
                                  text.data(), 1, true);
            }
        }
    }

    // Home Assistant's MQTT discovery: three sensors of one device, bound to availability,
    // each with the decimals its resolution deserves (Home Assistant's default for hertz is
    // none) and an expiry, so that a logger that stalls shows as unavailable, not as its last
    // value.
    std::vector<std::pair<std::string, Json>> DiscoveryMessages() const {
        const std::string node = AsId("cyclara_" + m_host);
        const Json device = {{"identifiers", {node}},
                             {"name", "Cyclara " + m_host},
                             {"manufacturer", "Cyclara"},
                             {"model", "cyclara-log"},
                             {"sw_version", VersionText().substr(std::string("cyclara-log ").size())}};
        const Json origin = {{"name", "cyclara-log"}, {"sw_version", device["sw_version"]}};
        const struct {
            const char* object;
            const char* name;
            const char* field;
            const char* deviceClass;
            const char* unit;  // Home Assistant's own: its micro is the Greek mu, not U+00B5
            int decimals;      // 1 mHz, 1 ms, 1 us
            bool diagnostic;
        } sensors[] = {{"frequency", "Frequency", "frequency_hz", "frequency", "Hz", 3, false},
                       {"grid_time_deviation", "Grid time deviation", "grid_time_deviation_s",
                        "duration", "s", 3, false},
                       {"interval", "Interval", "interval_us", "duration", "\u03bcs", 0, true}};
        std::vector<std::pair<std::string, Json>> messages;
        for (const auto& sensor : sensors) {
            Json config = {{"name", sensor.name},
                           {"unique_id", node + "_" + sensor.object},
                           {"default_entity_id", "sensor." + node + "_" + sensor.object},
                           {"state_topic", State()},
                           {"value_template", std::string("{{ value_json.") + sensor.field + " }}"},
                           {"device_class", sensor.deviceClass},
                           {"unit_of_measurement", sensor.unit},
                           {"suggested_display_precision", sensor.decimals},
                           {"state_class", "measurement"},
                           {"expire_after", kExpireAfterSeconds},
                           {"availability_topic", Availability()},
                           {"device", device},
                           {"origin", origin}};
            if (sensor.diagnostic) {
                config["entity_category"] = "diagnostic";
            }
            messages.emplace_back(
                "homeassistant/sensor/" + node + "/" + sensor.object + "/config", config);
        }
        return messages;
    }

    const LoggerOptions::Mqtt m_options;
    const BrokerAddress m_broker;
    const std::string m_host;
    const std::string m_prefix;
    mosquitto* const m_client;
    std::thread m_sender;
    std::atomic<int> m_lastProblem{0};
    std::string m_setupProblem;  // written by the constructor only

    // Under m_mutex. Written by the client's thread (connected, announce), the sender (all
    // of them) and Close (closed). The pulses are made into messages by the sender, off the
    // receive thread.
    bool m_connected = false;
    bool m_announce = false;
    bool m_closed = false;
};

}  // namespace

std::string StateMessage(const PulseReport& report) {
    const std::optional<PulseFigures>& figures = report.figures;
    Json message = {{"utc", FormatUtc(report.unixNanoseconds)},
                    {"frequency_hz", figures ? NumberOrNull(figures->frequency) : Json()},
                    {"mean_frequency_hz", figures ? NumberOrNull(figures->meanFrequency) : Json()},
                    {"grid_time_deviation_s",
                     figures ? Json(static_cast<double>(figures->gridTimeDeviationUs) / 1e6) : Json()},
                    {"interval_us",
                     figures ? Json(static_cast<double>(ScaleTicks(figures->intervalTicks,
                                                                   report.counterFrequency,
                                                                   1'000'000'000)) / 1e3)
                             : Json()},
                    {"difference_us", report.differenceUs ? Json(*report.differenceUs) : Json()},
                    {"elapsed_s", figures ? Json(figures->seconds) : Json()},
                    {"frequency_text", ValidUtf8(report.frequencyText)},
                    {"event", figures ? EventOf(*figures) : ""}};
    return Serialised(message);
}

std::unique_ptr<PulseSink> OpenMqttSink(const LoggerOptions::Mqtt& options, std::string& whyNot) {
    const std::optional<BrokerAddress> broker = ParseUrl(options.url);
    if (!broker) {
        whyNot = "--mqtt takes mqtt://host[:port] or mqtts://host[:port], not " +
                 RedactedUrl(options.url);
        return nullptr;
    }
    const std::string prefix = options.topic.empty() ? "cyclara/" + HostName() : options.topic;
    if (!IsPublishablePrefix(prefix)) {
        whyNot = "the MQTT topic prefix \"" + prefix +
                 "\" is no topic to publish to: it holds + or #, an empty level, or bytes "
                 "that are not UTF-8";
        return nullptr;
    }
    const std::optional<std::string> password = ReadPassword(options, whyNot);
    if (!password) {
        return nullptr;
    }
    static const int initialised = mosquitto_lib_init();
    static_cast<void>(initialised);
    auto sink = std::make_unique<MqttSink>(options, *broker, *password, prefix);
    if (!sink->SetupProblem().empty()) {
        whyNot = "MQTT: " + sink->SetupProblem();
        return nullptr;
    }
    return sink;
}

}  // namespace cyclara::logger
