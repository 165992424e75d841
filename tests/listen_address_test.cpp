// Where the read-only web servers listen: on this machine alone unless the user names more.
#include "http/listen_address.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace cyclara {
namespace {

// The address as the socket API holds it (network byte order), printed: "a.b.c.d:port", or
// "[16 bytes in hex]:port" for IPv6.
std::string Hex(unsigned char byte) {
    const char* digits = "0123456789abcdef";
    return {digits[byte >> 4], digits[byte & 15]};
}

std::string Printed(const sockaddr_storage& address) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address);
    const bool v6 = address.ss_family == AF_INET6;
    const size_t portAt = v6 ? offsetof(sockaddr_in6, sin6_port) : offsetof(sockaddr_in, sin_port);
    const size_t hostAt = v6 ? offsetof(sockaddr_in6, sin6_addr) : offsetof(sockaddr_in, sin_addr);
    std::string host;
    for (size_t i = 0; i < (v6 ? 16u : 4u); ++i) {
        host += v6 ? (i > 0 && i % 2 == 0 ? ":" : "") + Hex(bytes[hostAt + i])
                   : (i > 0 ? "." : "") + std::to_string(bytes[hostAt + i]);
    }
    const unsigned port = bytes[portAt] * 256u + bytes[portAt + 1];
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

TEST(ListenAddressTest, APortAloneListensOnLoopbackAndAnyOtherAddressOnlyWhenNamed) {
    const struct {
        const char* given;
        const char* listens;  // null: refused, with the option and the text named
        const char* host;
    } cases[] = {
        {"8080", "127.0.0.1:8080", "127.0.0.1"},
        {"127.0.0.1:9100", "127.0.0.1:9100", "127.0.0.1"},
        {"0.0.0.0:8080", "0.0.0.0:8080", "0.0.0.0"},
        {"[::1]:8080", "[0000:0000:0000:0000:0000:0000:0000:0001]:8080", "[::1]"},
        {"[::]:8080", "[0000:0000:0000:0000:0000:0000:0000:0000]:8080", "[::]"},
        {"8o80", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        sockaddr_storage address{};
        std::string host;
        std::string whyNot;
        const bool parsed = ParseListenAddress(c.given, "--http", address, host, whyNot);
        ASSERT_EQ(parsed, c.listens != nullptr) << c.given << ": " << whyNot;
        if (parsed) {
            EXPECT_EQ(Printed(address), c.listens) << c.given;
            EXPECT_EQ(host, c.host) << c.given;
        } else {
            EXPECT_NE(whyNot.find(std::string("--http ") + c.given), std::string::npos) << whyNot;
        }
    }
}

}  // namespace
}  // namespace cyclara
