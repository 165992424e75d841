#include "logger/mqtt/name_claim.h"

#include "logger/mqtt/meter_name.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

namespace cyclara::logger {

namespace {

constexpr const char* kRememberedFile = "mqtt-name";

// An abstract socket's name: the kernel frees it when the process ends, however it ends, and
// no file is left behind for a later run to mistake for a holder.
class AbstractSocketClaim : public NameClaim {
  public:
    explicit AbstractSocketClaim(int socket) : m_socket(socket) {}
    ~AbstractSocketClaim() override { close(m_socket); }
    AbstractSocketClaim(const AbstractSocketClaim&) = delete;
    AbstractSocketClaim& operator=(const AbstractSocketClaim&) = delete;

  private:
    const int m_socket;
};

std::unique_ptr<NameClaim> TakeName(const std::string& name) {
    const std::string key = "cyclara-log/meter/" + name;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t length = std::min(key.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, key.data(), length);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return nullptr;
    }
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
        close(fd);
        return nullptr;
    }
    return std::make_unique<AbstractSocketClaim>(fd);
}

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
    const std::optional<std::string> remembered =
        folder.empty() ? std::nullopt : Remembered(file);
    std::unique_ptr<NameClaim> claim = TakeName(host);
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
