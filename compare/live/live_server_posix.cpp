// libmicrohttpd's own thread answers every request; each makes a view of the meters under
// their lock and renders it, so nothing is cached and nothing a request does can change them.
#include "compare/live/live_server.h"

#include "compare/live/live_texts.h"
#include "http/listen_address.h"
#include "measure/clock.h"

#include <microhttpd.h>

#include <cerrno>
#include <cstring>
#include <netinet/in.h>

namespace cyclara::compare {

namespace {

// A request head larger than this is refused; a client silent this long is closed.
constexpr size_t kConnectionMemory = 16 * 1024;
constexpr unsigned kIdleSeconds = 10;
constexpr unsigned kConnections = 64;

class MhdLiveServer : public LiveServer {
  public:
    MhdLiveServer(const LiveMeters& meters, int64_t windowSeconds)
        : m_meters(meters), m_windowSeconds(windowSeconds) {}
    ~MhdLiveServer() override {
        if (m_daemon != nullptr) {
            MHD_stop_daemon(m_daemon);
        }
    }

    bool Start(const sockaddr_storage& address, const std::string& where, std::string& whyNot) {
        const unsigned family = address.ss_family == AF_INET6 ? MHD_USE_IPv6 : 0;
        m_daemon = MHD_start_daemon(
            MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO | family, 0, nullptr, nullptr,
            &MhdLiveServer::Answer, this, MHD_OPTION_SOCK_ADDR,
            reinterpret_cast<const sockaddr*>(&address), MHD_OPTION_CONNECTION_LIMIT,
            kConnections, MHD_OPTION_CONNECTION_TIMEOUT, kIdleSeconds,
            MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory, MHD_OPTION_END);
        if (m_daemon == nullptr) {
            whyNot = "the live comparison cannot listen on " + where + ": " + std::strerror(errno);
            return false;
        }
        return true;
    }

    uint16_t Port() const override {
        const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
        return info != nullptr ? info->port : 0;
    }

  private:
    static MHD_Result Send(MHD_Connection* connection, unsigned status, const std::string& body,
                           const char* type) {
        MHD_Response* response = MHD_create_response_from_buffer(
            body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
        if (response == nullptr) {
            return MHD_NO;
        }
        MHD_add_response_header(response, "Content-Type", type);
        MHD_add_response_header(response, "Cache-Control", "no-store");
        MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
        const MHD_Result queued = MHD_queue_response(connection, status, response);
        MHD_destroy_response(response);
        return queued;
    }

    // Inside C code: nothing may leave by an exception.
    static MHD_Result Answer(void* self, MHD_Connection* connection, const char* url,
                             const char* method, const char*, const char*, size_t*,
                             void**) noexcept try {
        const auto* server = static_cast<MhdLiveServer*>(self);
        if (std::strcmp(method, "GET") != 0 && std::strcmp(method, "HEAD") != 0) {
            return Send(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "only GET\n", "text/plain");
        }
        const std::string route = url;
        if (route != "/" && route != "/api/v1/pairs" && route != "/metrics") {
            return Send(connection, MHD_HTTP_NOT_FOUND, "no such page\n", "text/plain");
        }
        const LiveView view = server->m_meters.View(SystemClock().MonotonicNs());
        if (route == "/metrics") {
            return Send(connection, MHD_HTTP_OK, ViewMetrics(view),
                        "text/plain; version=0.0.4; charset=utf-8");
        }
        if (route == "/api/v1/pairs") {
            return Send(connection, MHD_HTTP_OK, ViewJson(view), "application/json");
        }
        return Send(connection, MHD_HTTP_OK, ViewPage(view, server->m_windowSeconds),
                    "text/html; charset=utf-8");
    } catch (const std::exception&) {
        return MHD_NO;
    }

    const LiveMeters& m_meters;
    const int64_t m_windowSeconds;
    MHD_Daemon* m_daemon = nullptr;
};

}  // namespace

std::unique_ptr<LiveServer> StartLiveServer(const std::string& address, const LiveMeters& meters,
                                            int64_t windowSeconds, std::string& whyNot) {
    sockaddr_storage socketAddress{};
    std::string host;
    if (!ParseListenAddress(address, "--http", socketAddress, host, whyNot)) {
        return nullptr;
    }
    auto server = std::make_unique<MhdLiveServer>(meters, windowSeconds);
    if (!server->Start(socketAddress, address, whyNot)) {
        return nullptr;
    }
    return server;
}

}  // namespace cyclara::compare
