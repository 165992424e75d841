// The sockets' names on this platform: Winsock, which the libraries start before any use.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>

namespace cyclara {

// Ends both directions; the socket's owner still closes it.
inline void ShutDownSocket(uint64_t socket) {
    shutdown(static_cast<SOCKET>(socket), SD_BOTH);
}

}  // namespace cyclara
