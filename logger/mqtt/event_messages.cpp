#include "logger/mqtt/event_messages.h"

#include "logger/mqtt/json_text.h"
#include "measure/wall_clock.h"

namespace cyclara::logger {

namespace {

using Json = nlohmann::json;

// The run's events an entity tells, by kind.
const std::map<RunEvent::Kind, std::string>& RunEventTypes() {
    static const std::map<RunEvent::Kind, std::string> types{
        {RunEvent::Kind::kDeviceLost, "device_lost"},
        {RunEvent::Kind::kDeviceBack, "device_back"},
        {RunEvent::Kind::kNoPulses, "no_pulses"},
        {RunEvent::Kind::kPulsesAgain, "pulses_again"}};
    return types;
}

Json BandEventObject(const PulseReport::BandEvent& event) {
    const Excursion& e = event.excursion;
    Json object = {{"event_type", event.started ? "excursion_start" : "excursion_end"},
                   {"band", e.band},
                   {"low_hz", e.lowHz},
                   {"high_hz", e.highHz},
                   {"start_utc", FormatUtc(e.startNs)},
                   {"extreme_hz", e.extremeHz},
                   {"extreme_utc", FormatUtc(e.extremeNs)},
                   {"unit", e.unit}};
    if (!event.started) {
        object["end_utc"] = FormatUtc(e.endNs);
        object["duration_s"] = e.Seconds(0);
    }
    return object;
}

}  // namespace

std::vector<std::string> EventTypes() {
    std::vector<std::string> types{"excursion_start", "excursion_end"};
    for (const auto& [kind, type] : RunEventTypes()) {
        types.push_back(type);
    }
    return types;
}

std::vector<MqttMessage> EventMessages(const PulseReport& report, const std::string& prefix) {
    std::vector<MqttMessage> messages;
    for (const PulseReport::BandEvent& event : report.bandEvents) {
        messages.push_back({prefix + "/event", Serialised(BandEventObject(event))});
    }
    if (const auto type = RunEventTypes().find(report.event.kind); type != RunEventTypes().end()) {
        messages.push_back({prefix + "/event",
                            Serialised({{"event_type", type->second},
                                        {"utc", FormatUtc(report.unixNanoseconds)}})});
    }
    return messages;
}

BandStates::BandStates(const std::vector<Band>& bands) {
    for (const Band& band : bands) {
        m_outside[band.name] = false;
    }
}

void BandStates::Take(const PulseReport& report) {
    for (const PulseReport::BandEvent& event : report.bandEvents) {
        m_outside[event.excursion.band] = event.started;
    }
}

std::vector<MqttMessage> BandStates::Messages(const std::string& prefix) const {
    std::vector<MqttMessage> messages;
    for (const auto& [band, outside] : m_outside) {
        messages.push_back({prefix + "/band/" + BandId(band), outside ? "ON" : "OFF", true});
    }
    return messages;
}

}  // namespace cyclara::logger
