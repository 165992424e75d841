#include "logger/mqtt/mqtt_output.h"

#include "logger/credentials.h"
#include "logger/mqtt/broker_address.h"
#include "logger/mqtt/discovery.h"
#include "logger/mqtt/event_messages.h"
#include "logger/mqtt/state_message.h"
#include "logger/mqtt/summary_message.h"
#include "logger/period_figures.h"
#include "logger/process_id.h"
#include "logger/redacted_url.h"
#include "measure/time_spans.h"

#include <mosquitto.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace cyclara::logger {

namespace {

using namespace std::chrono_literals;

// Also how long a connection request waits for the broker's answer: a broker that accepts and
// never answers is given up on, and tried again, after this.
constexpr int kKeepAliveSeconds = 10;
// Apart from the client's own codes, which a refusal's may equal.
constexpr int kRefusalReasons = 1000;
// Reconnection waits 1 s, then twice as long each time, at most a minute.
constexpr unsigned kFirstRetrySeconds = 1;
constexpr unsigned kLongestRetrySeconds = 60;
// How long a stop waits for the broker to take the goodbye.
constexpr int kGoodbyeWaitSeconds = 2;

class MqttClient : public Destination {
  public:
    MqttClient(const LoggerOptions::Mqtt& options, BrokerAddress broker, ClaimedName name,
               std::string prefix, std::vector<Band> bands)
        : m_qos(options.qos),
          m_discovery(!options.noDiscovery),
          m_everyNs(options.everySeconds * kSecondNs),
          m_broker(std::move(broker)),
          m_nameClaim(std::move(name.claim)),
          m_host(std::move(name.name)),
          m_prefix(std::move(prefix)),
          m_client(mosquitto_new(ClientId(options).c_str(), true, this)),
          m_bands(std::move(bands)),
          m_bandStates(m_bands) {}

    ~MqttClient() override { mosquitto_destroy(m_client); }

    // Empty when the client is set up and connecting; else what makes it unusable whatever
    // the broker does (a certificate authority that cannot be read).
    std::string Start(const LoggerOptions::Mqtt& options, const std::string& password) {
        if (m_client == nullptr) {
            return "the client cannot be made";
        }
        mosquitto_connect_callback_set(m_client, &MqttClient::OnConnect);
        mosquitto_disconnect_callback_set(m_client, &MqttClient::OnDisconnect);
        mosquitto_publish_callback_set(m_client, &MqttClient::OnPublish);
        mosquitto_reconnect_delay_set(m_client, kFirstRetrySeconds, kLongestRetrySeconds, true);
        if (!options.user.empty() &&
            mosquitto_username_pw_set(m_client, options.user.c_str(), password.c_str()) !=
                MOSQ_ERR_SUCCESS) {
            return "the user name cannot be set";
        }
        const std::string authority = options.caFile.empty() ? "/etc/ssl/certs" : options.caFile;
        if (m_broker.tls && !options.caFile.empty() && !IsPlainFile(options.caFile)) {
            return CannotRead("certificate authority file", options.caFile);
        }
        if (m_broker.tls) {
            const int result = mosquitto_tls_set(
                m_client, options.caFile.empty() ? nullptr : options.caFile.c_str(),
                options.caFile.empty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
            if (result == MOSQ_ERR_NOT_SUPPORTED) {
                return "mqtts:// needs TLS, which this build's MQTT library has not: give "
                       "mqtt:// for a broker on this machine or a network you trust";
            }
            if (result != MOSQ_ERR_SUCCESS) {
                return "TLS cannot be set up with the certificate authority " + authority;
            }
        }
        const std::string availability = Availability();
        if (mosquitto_will_set(m_client, availability.c_str(), 7, "offline", 1, true) !=
            MOSQ_ERR_SUCCESS) {
            return "the last will cannot be set on " + availability;
        }
        // The loop first: a connection requested before it runs is never tried again when the
        // broker is away at the start (libmosquitto's issue 1903), as at boot it often is.
        if (mosquitto_loop_start(m_client) != MOSQ_ERR_SUCCESS) {
            return "the client's thread cannot be started";
        }
        if (const int result = mosquitto_connect_async(m_client, m_broker.host.c_str(),
                                                       m_broker.port, kKeepAliveSeconds);
            result != MOSQ_ERR_SUCCESS) {
            SayProblem(result, std::string("cannot be reached: ") + mosquitto_strerror(result));
        }
        return "";
    }

    // Nothing is handed to the client while it is not connected: its own queue is unbounded.
    // The states are the pulses'; availability tells of the run's own events. A period's
    // summary goes when the first pulse of the next arrives.
    Delivery Deliver(const std::vector<PulseReport>& batch, uint64_t) override {
        for (size_t i = 0; i < batch.size(); ++i) {
            if (!m_connected || !PublishEvents(batch[i]) ||
                (batch[i].pulse && !Publish(State(), StateMessage(batch[i]), m_qos))) {
                return {i, Delivery::Trouble::kPassing, ""};
            }
            m_bandStates.Take(batch[i]);
            if (batch[i].pulse) {
                Summarise(batch[i]);
            }
        }
        return Delivery::All(batch.size());
    }

    bool PublishEvents(const PulseReport& report) {
        for (const MqttMessage& message : EventMessages(report, m_prefix)) {
            if (!Publish(message.topic, message.text, m_qos)) {
                return false;
            }
        }
        return true;
    }

    // A summary that cannot be sent is left out: Home Assistant's sensors show the next.
    void Summarise(const PulseReport& report) {
        const int64_t period = PeriodOf(report.unixNanoseconds, m_everyNs);
        if (m_periodIndex && period != *m_periodIndex && m_period.Pulses() > 0) {
            Publish(Summary(), SummaryMessage(m_period, (*m_periodIndex + 1) * m_everyNs), m_qos);
            for (const MqttMessage& band : m_bandStates.Messages(m_prefix)) {
                Publish(band.topic, band.text, m_qos, band.retained);
            }
            m_period = PeriodFigures{};
        }
        m_periodIndex = period;
        m_period.Add(report);
    }

    bool Publish(const std::string& topic, const std::string& message, int qos,
                 bool retained = false) {
        return mosquitto_publish(m_client, nullptr, topic.c_str(), static_cast<int>(message.size()),
                                 message.data(), qos, retained) == MOSQ_ERR_SUCCESS;
    }

    // The goodbye is acknowledged before the DISCONNECT is queued: the acknowledgement is the
    // broker's latest word, and libmosquitto closes the socket unsent, so that the broker sends
    // the last will too, when its keep-alive finds the broker silent for a whole interval
    // after the disconnect was asked for.
    void Finish() override {
        const std::string availability = Availability();
        int goodbye = 0;
        if (m_connected && mosquitto_publish(m_client, &goodbye, availability.c_str(), 7,
                                             "offline", 1, true) == MOSQ_ERR_SUCCESS) {
            std::unique_lock lock(m_ackedMutex);
            m_ackedChanged.wait_for(lock, std::chrono::seconds(kGoodbyeWaitSeconds),
                                    [&] { return m_ackedMid == goodbye; });
        }
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, false);
    }

  private:
    std::string ClientId(const LoggerOptions::Mqtt& options) const {
        return options.clientId.empty() ? "cyclara-" + m_host + "-" + std::to_string(ProcessId())
                                        : options.clientId;
    }
    std::string Availability() const { return m_prefix + "/availability"; }
    std::string State() const { return m_prefix + "/state"; }
    std::string Summary() const { return m_prefix + "/summary"; }

    // On the client's thread.
    static void OnConnect(mosquitto*, void* self, int result) {
        static_cast<MqttClient*>(self)->Connected(result);
    }
    // QoS 0 messages are "published" when sent, QoS 1 when the broker acknowledges them.
    static void OnPublish(mosquitto*, void* self, int mid) {
        auto* client = static_cast<MqttClient*>(self);
        std::lock_guard lock(client->m_ackedMutex);
        client->m_ackedMid = mid;
        client->m_ackedChanged.notify_all();
    }

    static void OnDisconnect(mosquitto*, void* self, int result) {
        auto* client = static_cast<MqttClient*>(self);
        const bool wasConnected = client->m_connected.exchange(false);
        if (result != MOSQ_ERR_SUCCESS) {
            client->SayProblem(result, DisconnectReason(result, wasConnected));
        }
    }

    static std::string DisconnectReason(int result, bool wasConnected) {
        if (result == MOSQ_ERR_KEEPALIVE) {
            const std::string seconds = std::to_string(kKeepAliveSeconds) + " s";
            return wasConnected ? "stopped answering for " + seconds
                                : "gave no answer to the connection request within " + seconds +
                                      "; trying again";
        }
        return std::string("cannot be reached: ") + mosquitto_strerror(result);
    }

    // Said once for each new reason, naming the broker; the client keeps trying with its
    // back-off. The client's thread's, and Start's before that thread runs.
    void SayProblem(int reason, const std::string& problem) {
        if (reason != m_lastProblem.exchange(reason)) {
            std::fprintf(stderr, "cyclara-log: the MQTT broker %s:%d %s\n", m_broker.host.c_str(),
                         m_broker.port, problem.c_str());
        }
    }

    // Announced before any state: availability, then the discovery messages, retained.
    void Connected(int result) {
        if (result != 0) {
            SayProblem(kRefusalReasons + result,
                       std::string("refused the connection: ") + mosquitto_connack_string(result));
            return;
        }
        m_lastProblem = 0;
        const std::string availability = Availability();
        mosquitto_publish(m_client, nullptr, availability.c_str(), 6, "online", 1, true);
        if (m_discovery) {
            for (const auto& [topic, text] :
                 DiscoveryMessages(m_host, m_prefix, m_bands, m_everyNs / kSecondNs)) {
                mosquitto_publish(m_client, nullptr, topic.c_str(), static_cast<int>(text.size()),
                                  text.data(), 1, true);
            }
        }
        m_connected = true;
    }

    const int m_qos;
    const bool m_discovery;
    const int64_t m_everyNs;
    const BrokerAddress m_broker;
    const std::unique_ptr<NameClaim> m_nameClaim;
    const std::string m_host;  // the meter's name: the host name, or host name and device
    const std::string m_prefix;
    mosquitto* const m_client;
    const std::vector<Band> m_bands;
    // The output's thread's: the bands' states, and the period being summarised.
    BandStates m_bandStates;
    PeriodFigures m_period;
    std::optional<int64_t> m_periodIndex;
    // Written by the client's thread, read by the output's.
    std::atomic<bool> m_connected{false};
    std::atomic<int> m_lastProblem{0};
    // The latest message the broker took: written by the client's thread, read by Finish on
    // the output's, under `m_ackedMutex` (taken alone).
    std::mutex m_ackedMutex;
    std::condition_variable m_ackedChanged;
    int m_ackedMid = 0;
};

}  // namespace

std::unique_ptr<Output> OpenMqttOutput(const LoggerOptions::Mqtt& options, ClaimedName name,
                                       std::vector<Band> bands, std::string& whyNot) {
    const std::optional<BrokerAddress> broker = ParseBrokerUrl(options.url);
    if (!broker) {
        whyNot = "--mqtt takes mqtt://host[:port] or mqtts://host[:port], not " +
                 RedactedUrl(options.url);
        return nullptr;
    }
    const std::string prefix = options.topic.empty() ? "cyclara/" + name.name : options.topic;
    if (!IsPublishablePrefix(prefix)) {
        whyNot = "the MQTT topic prefix \"" + prefix +
                 "\" is no topic to publish to: it holds + or #, an empty level, or bytes "
                 "that are not UTF-8";
        return nullptr;
    }
    if (!IsUsableClientId(options.clientId)) {
        whyNot = "the MQTT client id is no id a broker takes: it is not UTF-8, or too long";
        return nullptr;
    }
    const std::optional<std::string> password = ReadMqttPassword(options.passwordFile, whyNot);
    if (!password) {
        return nullptr;
    }
    static const int initialised = mosquitto_lib_init();
    static_cast<void>(initialised);
    auto client =
        std::make_unique<MqttClient>(options, *broker, std::move(name), prefix, std::move(bands));
    if (const std::string problem = client->Start(options, *password); !problem.empty()) {
        whyNot = "MQTT: " + problem;
        return nullptr;
    }
    return std::make_unique<Output>("MQTT", std::move(client), kMqttPolicy);
}

}  // namespace cyclara::logger
