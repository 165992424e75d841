// JSON text that never throws: text given in another encoding shows replacement characters.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace cyclara::logger {

inline std::string Serialised(const nlohmann::json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace cyclara::logger
