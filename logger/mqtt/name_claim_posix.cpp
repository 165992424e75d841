#include "logger/mqtt/name_claim.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace cyclara::logger {

namespace {

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

}  // namespace

std::unique_ptr<NameClaim> ClaimName(const std::string& name) {
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

}  // namespace cyclara::logger
