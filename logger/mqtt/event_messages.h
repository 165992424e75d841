// The grid's events over MQTT: one message a band left or re-entered and a run's own events on
// `<prefix>/event` (Home Assistant's event entity takes each, its `event_type` and the rest as
// attributes), and each band's state, retained, on `<prefix>/band/<band>`: "ON" while the
// frequency is outside it (a binary sensor of the problem class).
#pragma once

#include "grid/pulse_report.h"

#include <map>
#include <string>
#include <vector>

namespace cyclara::logger {

struct MqttMessage {
    std::string topic;
    std::string text;
    bool retained = false;
};

// Every event type an event message carries, for the entity's discovery.
std::vector<std::string> EventTypes();

// The event messages of one record; none for an ordinary pulse.
std::vector<MqttMessage> EventMessages(const PulseReport& report, const std::string& prefix);

// Follows which bands the frequency is outside of, and tells all their states, retained.
class BandStates {
  public:
    explicit BandStates(const std::vector<Band>& bands);
    void Take(const PulseReport& report);
    std::vector<MqttMessage> Messages(const std::string& prefix) const;

  private:
    std::map<std::string, bool> m_outside;  // by band name
};

}  // namespace cyclara::logger
