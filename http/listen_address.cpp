#include "http/listen_address.h"

#include <socket_api.h>

#include <cstring>

namespace cyclara {

bool ParseListenAddress(const std::string& text, const std::string& option,
                        sockaddr_storage& address, std::string& host, std::string& whyNot) {
    const size_t colon = text.rfind(':');
    host = colon == std::string::npos ? "127.0.0.1" : text.substr(0, colon);
    const std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
    const bool bracketed = host.size() > 1 && host.front() == '[' && host.back() == ']';
    const std::string numeric = bracketed ? host.substr(1, host.size() - 2) : host;
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICSERV | AI_PASSIVE;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int error = getaddrinfo(numeric.c_str(), port.c_str(), &hints, &found);
    if (error != 0) {
        whyNot = option + " " + text + " names no address and port: " + gai_strerror(error);
        return false;
    }
    std::memcpy(&address, found->ai_addr, found->ai_addrlen);
    freeaddrinfo(found);
    return true;
}

}  // namespace cyclara
