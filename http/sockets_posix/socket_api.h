// The sockets' names on this platform: Berkeley sockets.
#pragma once

#include <netdb.h>
#include <sys/socket.h>

#include <cstdint>

namespace cyclara {

// Ends both directions; the socket's owner still closes it.
inline void ShutDownSocket(uint64_t socket) {
    shutdown(static_cast<int>(socket), SHUT_RDWR);
}

}  // namespace cyclara
