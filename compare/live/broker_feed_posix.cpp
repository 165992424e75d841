// libmosquitto's own thread runs the connection: it connects, subscribes again after every
// reconnection, and calls OnMessage, which only parses and hands on.
#include "compare/live/broker_feed.h"

#include "broker/broker_url.h"
#include "compare/live/state_message.h"
#include "measure/clock.h"

#include <mosquitto.h>

#include <cstdio>
#include <string_view>

namespace cyclara::compare {

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr unsigned kFirstRetrySeconds = 1;
constexpr unsigned kLongestRetrySeconds = 30;

class MosquittoFeed : public BrokerFeed {
  public:
    MosquittoFeed(std::string filter, LiveMeters& meters)
        : m_filter(std::move(filter)),
          m_meters(meters),
          m_client(mosquitto_new(nullptr, true, this)) {}
    ~MosquittoFeed() override {
        if (m_started) {
            mosquitto_disconnect(m_client);
            mosquitto_loop_stop(m_client, false);
        }
        mosquitto_destroy(m_client);
    }

    bool Start(const BrokerAddress& broker, std::string& whyNot) {
        if (m_client == nullptr) {
            whyNot = "no MQTT client could be made";
            return false;
        }
        mosquitto_connect_callback_set(m_client, &MosquittoFeed::OnConnect);
        mosquitto_message_callback_set(m_client, &MosquittoFeed::OnMessage);
        mosquitto_reconnect_delay_set(m_client, kFirstRetrySeconds, kLongestRetrySeconds, true);
        if (broker.tls && mosquitto_tls_set(m_client, nullptr, "/etc/ssl/certs", nullptr,
                                            nullptr, nullptr) != MOSQ_ERR_SUCCESS) {
            whyNot = "TLS cannot be set up";
            return false;
        }
        if (mosquitto_loop_start(m_client) != MOSQ_ERR_SUCCESS) {
            whyNot = "the MQTT client's thread cannot start";
            return false;
        }
        m_started = true;
        // A broker that is not there yet is tried again by the client's thread.
        const int result = mosquitto_connect_async(m_client, broker.host.c_str(), broker.port,
                                                   kKeepAliveSeconds);
        if (result != MOSQ_ERR_SUCCESS) {
            std::fprintf(stderr, "cyclara-compare: %s:%d cannot be reached yet: %s\n",
                         broker.host.c_str(), broker.port, mosquitto_strerror(result));
            mosquitto_reconnect_async(m_client);
        }
        return true;
    }

  private:
    // On the client's thread, at every connection: the subscription does not outlive one.
    static void OnConnect(mosquitto* client, void* self, int result) {
        if (result != 0) {
            std::fprintf(stderr, "cyclara-compare: the broker refused the connection: %s\n",
                         mosquitto_connack_string(result));
            return;
        }
        const auto* feed = static_cast<MosquittoFeed*>(self);
        mosquitto_subscribe(client, nullptr, feed->m_filter.c_str(), 0);
    }

    // On the client's thread. Inside C code: nothing may leave by an exception.
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message) noexcept try {
        auto* feed = static_cast<MosquittoFeed*>(self);
        const std::optional<std::string> meter = MeterOfTopic(message->topic);
        if (!meter || message->payload == nullptr) {
            return;
        }
        const std::optional<StateReading> reading = ReadState(
            std::string_view(static_cast<const char*>(message->payload),
                             static_cast<size_t>(message->payloadlen)));
        if (reading) {
            feed->m_meters.Take(*meter, *reading, SystemClock().MonotonicNs());
        }
    } catch (const std::exception&) {
    }

    const std::string m_filter;
    LiveMeters& m_meters;
    mosquitto* const m_client;
    bool m_started = false;
};

}  // namespace

std::unique_ptr<BrokerFeed> FeedFromBroker(const std::string& url, const std::string& topicFilter,
                                           LiveMeters& meters, std::string& whyNot) {
    static const int initialised = mosquitto_lib_init();
    static_cast<void>(initialised);
    const std::optional<BrokerAddress> broker = ParseBrokerUrl(url);
    if (!broker) {
        whyNot = "--live " + url + " is no mqtt://host[:port] or mqtts://host[:port]";
        return nullptr;
    }
    if (mosquitto_sub_topic_check(topicFilter.c_str()) != MOSQ_ERR_SUCCESS) {
        whyNot = "--topic " + topicFilter + " is no topic filter";
        return nullptr;
    }
    auto feed = std::make_unique<MosquittoFeed>(topicFilter, meters);
    if (!feed->Start(*broker, whyNot)) {
        return nullptr;
    }
    return feed;
}

}  // namespace cyclara::compare
