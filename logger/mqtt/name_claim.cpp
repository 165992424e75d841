#include "logger/mqtt/name_claim.h"

#include "logger/mqtt/meter_name.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

namespace cyclara::logger {

namespace {

constexpr const char* kRememberedFile = "mqtt-name";

std::optional<std::string> Remembered(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return std::nullopt;
    }
    std::string name;
    std::ifstream in(file);
    return std::getline(in, name) && !name.empty() ? std::optional(name) : std::nullopt;
}

// Written beside and renamed, so that a run stopped meanwhile leaves the old name or the new.
void Remember(const std::filesystem::path& file, const std::string& name) {
    const std::filesystem::path written = file.string() + ".new";
    std::ofstream(written) << name << '\n';
    std::error_code error;
    std::filesystem::rename(written, file, error);
}

}  // namespace

ClaimedName NameThisMeter(const std::string& host, const std::string& devicePath,
                          const std::string& folder) {
    const std::filesystem::path file =
        folder.empty() ? std::filesystem::path() : std::filesystem::path(folder) / kRememberedFile;
    const std::optional<std::string> remembered = folder.empty() ? std::nullopt : Remembered(file);
    std::unique_ptr<NameClaim> claim = ClaimName(host);
    const MeterName chosen =
        ChooseMeterName(host, DeviceInstance(devicePath), remembered, claim == nullptr);
    if (chosen.name != host) {
        claim.reset();
    }
    if (chosen.remember && !folder.empty()) {
        Remember(file, chosen.name);
    }
    if (!chosen.said.empty()) {
        std::fprintf(stderr, "cyclara-log: MQTT: %s\n", chosen.said.c_str());
    }
    return {chosen.name, std::move(claim)};
}

}  // namespace cyclara::logger
