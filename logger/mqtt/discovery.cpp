#include "logger/mqtt/discovery.h"

#include "logger/logger_options.h"
#include "logger/mqtt/event_messages.h"
#include "logger/mqtt/json_text.h"
#include "measure/clock_state.h"

#include <cctype>

namespace cyclara::logger {

namespace {

using Json = nlohmann::json;

// Home Assistant's ids take letters, digits and underscores.
std::string AsId(const std::string& text) {
    std::string id;
    for (const char ch : text) {
        id += std::isalnum(static_cast<unsigned char>(ch)) != 0 ? ch : '_';
    }
    return id;
}

}  // namespace

// Each sensor with the decimals its resolution deserves (Home Assistant's default for hertz is
// none) and an expiry, so that a logger that stalls shows as unavailable, not as its last
// value. The clock's state is an enum sensor: its words are the record's.
std::vector<std::pair<std::string, std::string>> DiscoveryMessages(const std::string& host,
                                                                   const std::string& prefix,
                                                                   const std::vector<Band>& bands,
                                                                   int64_t everySeconds) {
    const std::string summaryTopic = prefix + "/summary";
    const std::string availabilityTopic = prefix + "/availability";
    const std::string node = AsId("cyclara_" + host);
    const std::string version = VersionText().substr(std::string("cyclara-log ").size());
    const Json device = {{"identifiers", {node}},
                         {"name", "Cyclara " + host},
                         {"manufacturer", "Cyclara"},
                         {"model", "cyclara-log"},
                         {"sw_version", version}};
    const Json origin = {{"name", "cyclara-log"}, {"sw_version", version}};
    const struct {
        const char* object;
        const char* name;
        const char* field;
        const char* deviceClass;
        const char* unit;  // Home Assistant's own: its micro is the Greek mu, not U+00B5
        int decimals;      // 1 mHz, 1 ms, 1 us, 0.1 mHz; -1 for a text
        bool diagnostic;
    } sensors[] = {
        {"frequency", "Frequency", "frequency_hz", "frequency", "Hz", 3, false},
        {"frequency_min", "Lowest frequency", "frequency_min_hz", "frequency", "Hz", 3, false},
        {"frequency_max", "Highest frequency", "frequency_max_hz", "frequency", "Hz", 3, false},
        {"grid_time_deviation", "Grid time deviation", "grid_time_deviation_s", "duration", "s", 3,
         false},
        {"interval", "Interval", "interval_us", "duration", "\u03bcs", 0, true},
        {"frequency_uncertainty", "Frequency uncertainty", "frequency_uncertainty_hz",
         "frequency", "Hz", 4, true},
        {"clock", "Clock", "clock", "enum", nullptr, -1, true}};
    std::vector<std::pair<std::string, std::string>> messages;
    for (const auto& sensor : sensors) {
        Json config = {{"name", sensor.name},
                       {"unique_id", node + "_" + sensor.object},
                       {"default_entity_id", "sensor." + node + "_" + sensor.object},
                       {"state_topic", summaryTopic},
                       {"value_template", std::string("{{ value_json.") + sensor.field + " }}"},
                       {"device_class", sensor.deviceClass},
                       {"expire_after", 3 * everySeconds},
                       {"availability_topic", availabilityTopic},
                       {"device", device},
                       {"origin", origin}};
        if (sensor.unit != nullptr) {
            config["unit_of_measurement"] = sensor.unit;
            config["suggested_display_precision"] = sensor.decimals;
            config["state_class"] = "measurement";
        } else {
            config["options"] = ClockWords();
        }
        if (sensor.diagnostic) {
            config["entity_category"] = "diagnostic";
        }
        messages.emplace_back("homeassistant/sensor/" + node + "/" + sensor.object + "/config",
                              Serialised(config));
    }
    const Json common = {{"availability_topic", availabilityTopic},
                         {"device", device},
                         {"origin", origin}};
    for (const Band& band : bands) {
        const std::string object = "outside_" + BandId(band.name);
        Json config = {{"name", "Outside the " + band.name},
                       {"unique_id", node + "_" + object},
                       {"default_entity_id", "binary_sensor." + node + "_" + object},
                       {"state_topic", prefix + "/band/" + BandId(band.name)},
                       {"device_class", "problem"},
                       {"expire_after", 3 * everySeconds}};
        config.update(common);
        messages.emplace_back("homeassistant/binary_sensor/" + node + "/" + object + "/config",
                              Serialised(config));
    }
    Json event = {{"name", "Grid event"},
                  {"unique_id", node + "_grid_event"},
                  {"default_entity_id", "event." + node + "_grid_event"},
                  {"state_topic", prefix + "/event"},
                  {"event_types", EventTypes()}};
    event.update(common);
    messages.emplace_back("homeassistant/event/" + node + "/grid_event/config", Serialised(event));
    return messages;
}

}  // namespace cyclara::logger
