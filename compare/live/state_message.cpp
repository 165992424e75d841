#include "compare/live/state_message.h"

#include "record/record_file.h"

#include <nlohmann/json.hpp>

namespace cyclara::compare {

namespace {

constexpr std::string_view kStateLevel = "/state";

std::optional<double> NumberAt(const nlohmann::json& state, const char* key) {
    const auto found = state.find(key);
    return found != state.end() && found->is_number() ? std::optional(found->get<double>())
                                                      : std::nullopt;
}

}  // namespace

std::optional<StateReading> ReadState(std::string_view payload) {
    const nlohmann::json state = nlohmann::json::parse(payload, nullptr, false);
    if (!state.is_object() || !state.contains("utc") || !state["utc"].is_string()) {
        return std::nullopt;
    }
    const std::optional<int64_t> utcUs = ParseUtcMicroseconds(state["utc"].get<std::string>());
    if (!utcUs) {
        return std::nullopt;
    }
    StateReading reading;
    reading.utcNs = *utcUs * 1000;
    reading.hertz = NumberAt(state, "frequency_hz");
    reading.uncertaintyHz = NumberAt(state, "frequency_uncertainty_hz");
    if (state.contains("clock") && state["clock"].is_string()) {
        reading.clock = state["clock"].get<std::string>();
    }
    return reading;
}

std::optional<std::string> MeterOfTopic(std::string_view topic) {
    if (topic.size() <= kStateLevel.size() ||
        topic.substr(topic.size() - kStateLevel.size()) != kStateLevel) {
        return std::nullopt;
    }
    return std::string(topic.substr(0, topic.size() - kStateLevel.size()));
}

}  // namespace cyclara::compare
