// Where a program's read-only web server listens, as its users give it.
#pragma once

#include <socket_api.h>

#include <string>

namespace cyclara {

// "8080" (on 127.0.0.1), "0.0.0.0:8080", "[::1]:8080" or "localhost:8080" to a socket address
// and its host as given; false with `whyNot` when it names none. A host name is looked up,
// once, here. `option` names the option in the message ("--http").
bool ParseListenAddress(const std::string& text, const std::string& option,
                        sockaddr_storage& address, std::string& host, std::string& whyNot);

}  // namespace cyclara
