// The server is libmicrohttpd's event loop: one thread polls every connection, and an event
// stream with nothing to send is suspended rather than given a thread, so open streams and slow
// clients cost memory, bounded per connection, never the threads that answer others.
#include "logger/web/http_server.h"

#include "http/listen_address.h"
#include "logger/logger_options.h"
#include "logger/web/head_deadlines.h"
#include "logger/web/metrics_text.h"
#include "logger/web/page_files.h"
#include "measure/clock.h"

#include <microhttpd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

namespace cyclara::logger {

namespace {

constexpr const char* kJson = "application/json";
constexpr int64_t kDefaultHistoryMinutes = 70;
constexpr int64_t kLongestHistoryMinutes = 24 * 60;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

struct Stream;

class MhdServer : public HttpServer {
  public:
    MhdServer(std::shared_ptr<const LiveFigures> figures, std::vector<const Output*> outputs,
              const HttpLimits& limits, std::string host)
        : m_figures(std::move(figures)),
          m_outputs(std::move(outputs)),
          m_limits(limits),
          m_version(VersionText()),
          m_host(std::move(host)),
          m_heads(int64_t{limits.headSeconds} * 1'000'000'000) {}
    ~MhdServer() override { Stop(); }

    // `where` as the user gave it, for the message when it cannot listen there.
    bool Start(const sockaddr_storage& address, const std::string& where, std::string& whyNot);
    void Wake() override;
    void Stop() override;
    std::string Host() const override { return m_host; }
    uint16_t Port() const override;

  private:
    friend struct Stream;
    static MHD_Result Answer(void* self, MHD_Connection* connection, const char* url,
                             const char* method, const char*, const char*, size_t*, void**);
    MHD_Result Route(MHD_Connection* connection, const std::string& url);
    MHD_Result StartStream(MHD_Connection* connection);
    static void Notify(void* self, MHD_Connection* connection, void**,
                       MHD_ConnectionNotificationCode code);
    static void Completed(void* self, MHD_Connection* connection, void**,
                          MHD_RequestTerminationCode);
    void HeadWhole(MHD_Connection* connection);
    void SweepHeads();
    std::vector<OutputCount> OutputCounts() const;
    nlohmann::json Meter() const;

    const std::shared_ptr<const LiveFigures> m_figures;
    const std::vector<const Output*> m_outputs;
    const HttpLimits m_limits;
    const std::string m_version;
    const std::string m_host;
    MHD_Daemon* m_daemon = nullptr;
    std::atomic<unsigned> m_streams{0};
    // The streams waiting for a record, and whether the server is closing: the server's thread
    // adds a stream and suspends it under `m_wakeMutex`, the live output's thread takes them all
    // under it, so no record slips between a stream's look and its sleep. Taken before
    // LiveFigures' own mutex, never after it.
    std::mutex m_wakeMutex;
    std::vector<MHD_Connection*> m_waiting;
    bool m_closing = false;
    // The heads not yet whole, by socket: the server's thread adds one at each accept and
    // removes it when its head is whole or before it closes the socket; the sweeper's thread
    // shuts down the sockets past their deadline. All under `m_headMutex`, taken alone (never
    // with `m_wakeMutex`), so the sweeper never touches a socket the server has closed.
    std::mutex m_headMutex;
    std::condition_variable m_headChanged;
    HeadDeadlines m_heads;
    bool m_sweeping = true;
    std::thread m_sweeper;
};

SocketNumber ConnectionSocket(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    return static_cast<SocketNumber>(info != nullptr ? info->connect_fd : MHD_INVALID_SOCKET);
}

// One event stream: what it last sent and what is still to send of the latest event.
struct Stream {
    MhdServer* server;
    MHD_Connection* connection;
    uint64_t sent = 0;
    std::string pending;
    size_t offset = 0;

    // On the server's thread, inside C code: nothing may leave it by an exception.
    static ssize_t Read(void* self, uint64_t, char* buffer, size_t size) {
        try {
            return static_cast<Stream*>(self)->Next(buffer, size);
        } catch (const std::exception&) {
            return MHD_CONTENT_READER_END_WITH_ERROR;
        }
    }
    static void Free(void* self) {
        auto* stream = static_cast<Stream*>(self);
        --stream->server->m_streams;
        delete stream;
    }

    enum class Latest { kTaken, kWaiting, kClosing };

    ssize_t Next(char* buffer, size_t size) {
        if (offset == pending.size()) {
            const Latest latest = TakeLatest();
            if (latest != Latest::kTaken) {
                return latest == Latest::kClosing ? MHD_CONTENT_READER_END_OF_STREAM : 0;
            }
        }
        const size_t n = std::min(size, pending.size() - offset);
        std::memcpy(buffer, pending.data() + offset, n);
        offset += n;
        return static_cast<ssize_t>(n);
    }

    // The latest event when there is a new one; else the stream sleeps until Wake.
    Latest TakeLatest() {
        std::lock_guard lock(server->m_wakeMutex);
        if (server->m_closing) {
            return Latest::kClosing;
        }
        const uint64_t latest = server->m_figures->Sequence();
        if (latest == sent) {
            MHD_suspend_connection(connection);
            server->m_waiting.push_back(connection);
            return Latest::kWaiting;
        }
        pending = server->m_figures->StreamEvent();
        offset = 0;
        sent = latest;
        return Latest::kTaken;
    }
};

bool MhdServer::Start(const sockaddr_storage& address, const std::string& where,
                      std::string& whyNot) {
    const unsigned family = address.ss_family == AF_INET6 ? MHD_USE_IPv6 : 0;
    m_daemon = MHD_start_daemon(
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO | MHD_ALLOW_SUSPEND_RESUME | family, 0,
        nullptr, nullptr, &MhdServer::Answer, this, MHD_OPTION_SOCK_ADDR,
        reinterpret_cast<const sockaddr*>(&address), MHD_OPTION_CONNECTION_LIMIT,
        m_limits.connections, MHD_OPTION_CONNECTION_TIMEOUT, m_limits.idleSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, m_limits.connectionMemory, MHD_OPTION_NOTIFY_CONNECTION,
        &MhdServer::Notify, this, MHD_OPTION_NOTIFY_COMPLETED, &MhdServer::Completed, this,
        MHD_OPTION_END);
    if (m_daemon == nullptr) {
        whyNot = "the live page cannot listen on " + where + ": " + std::strerror(errno);
        return false;
    }
    m_sweeper = std::thread(&MhdServer::SweepHeads, this);
    return true;
}

// On the server's thread: a connection accepted, or about to be closed.
// Inside C code: nothing may leave by an exception (a connection unwatched is the worst).
void MhdServer::Notify(void* self, MHD_Connection* connection, void**,
                       MHD_ConnectionNotificationCode code) try {
    auto* server = static_cast<MhdServer*>(self);
    const SocketNumber socket = ConnectionSocket(connection);
    std::lock_guard lock(server->m_headMutex);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        server->m_heads.Accepted(socket, SystemClock().MonotonicNs());
        server->m_headChanged.notify_one();
    } else {
        server->m_heads.Closed(socket);
    }
} catch (const std::exception&) {
}

// On the server's thread: a request answered; the next head on a kept connection has a
// deadline of its own.
void MhdServer::Completed(void* self, MHD_Connection* connection, void**,
                          MHD_RequestTerminationCode) try {
    auto* server = static_cast<MhdServer*>(self);
    std::lock_guard lock(server->m_headMutex);
    server->m_heads.Accepted(ConnectionSocket(connection), SystemClock().MonotonicNs());
    server->m_headChanged.notify_one();
} catch (const std::exception&) {
}

void MhdServer::HeadWhole(MHD_Connection* connection) {
    std::lock_guard lock(m_headMutex);
    m_heads.HeadWhole(ConnectionSocket(connection));  // erasing: nothing to throw
}

// The sweeper's thread: sleeps until the next deadline (or a new connection), then shuts down
// the sockets past theirs; the server sees the end and closes them itself.
void MhdServer::SweepHeads() try {
    constexpr int64_t kNoDeadlineNs = int64_t{3600} * 1'000'000'000;
    std::unique_lock lock(m_headMutex);
    while (m_sweeping) {
        const int64_t nowNs = SystemClock().MonotonicNs();
        for (const SocketNumber socket : m_heads.TakeExpired(nowNs)) {
            ShutDownSocket(socket);
        }
        const int64_t waitNs = m_heads.NextDeadlineNs(nowNs + kNoDeadlineNs) - nowNs;
        m_headChanged.wait_for(lock, std::chrono::nanoseconds(waitNs));
    }
} catch (const std::exception& error) {
    std::fprintf(stderr, "cyclara-log: the live page no longer closes slow requests: %s\n",
                 error.what());
}

uint16_t MhdServer::Port() const {
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
    return info != nullptr ? info->port : 0;
}

void MhdServer::Wake() {
    std::vector<MHD_Connection*> waiting;
    {
        std::lock_guard lock(m_wakeMutex);
        waiting.swap(m_waiting);
    }
    for (MHD_Connection* connection : waiting) {
        MHD_resume_connection(connection);
    }
}

void MhdServer::Stop() {
    if (m_daemon == nullptr) {
        return;
    }
    {
        std::lock_guard lock(m_wakeMutex);
        m_closing = true;
    }
    Wake();
    {
        std::lock_guard lock(m_headMutex);
        m_sweeping = false;
        m_headChanged.notify_one();
    }
    if (m_sweeper.joinable()) {
        m_sweeper.join();
    }
    MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
}

MHD_Result Respond(MHD_Connection* connection, unsigned status, std::string_view type,
                   std::string_view body, MHD_ResponseMemoryMode memory) {
    MHD_Response* response =
        MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), memory);
    MHD_add_response_header(response, "Content-Type", std::string(type).c_str());
    MHD_add_response_header(response, "Content-Security-Policy", "default-src 'self'");
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    MHD_add_response_header(response, "Cache-Control", "no-cache");
    if (status == MHD_HTTP_METHOD_NOT_ALLOWED) {
        MHD_add_response_header(response, "Allow", "GET, HEAD");
    }
    const MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

MHD_Result RespondText(MHD_Connection* connection, unsigned status, std::string_view type,
                       const std::string& body) {
    return Respond(connection, status, type, body, MHD_RESPMEM_MUST_COPY);
}

// A whole number argument up to `longest`; `given` when absent, -1 when it is no number.
int64_t NumberAsked(MHD_Connection* connection, const char* name, int64_t given, int64_t longest) {
    const char* text = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, name);
    if (text == nullptr) {
        return given;
    }
    char* end = nullptr;
    const long long number = std::strtoll(text, &end, 10);
    return *end != '\0' || end == text || number < 0 ? -1 : std::min<long long>(number, longest);
}

MHD_Result MhdServer::Answer(void* self, MHD_Connection* connection, const char* url,
                             const char* method, const char*, const char*, size_t*, void**) {
    static_cast<MhdServer*>(self)->HeadWhole(connection);
    if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 &&
        std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0) {
        return RespondText(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "text/plain",
                           "Only GET and HEAD\n");
    }
    try {
        return static_cast<MhdServer*>(self)->Route(connection, url);
    } catch (const std::exception&) {
        return RespondText(connection, MHD_HTTP_INTERNAL_SERVER_ERROR, "text/plain", "Failed\n");
    }
}

MHD_Result MhdServer::Route(MHD_Connection* connection, const std::string& url) {
    for (const PageFile& file : PageFiles()) {
        if (url == file.route) {
            return Respond(connection, MHD_HTTP_OK, file.type, file.body, MHD_RESPMEM_PERSISTENT);
        }
    }
    if (url == "/metrics") {
        return RespondText(connection, MHD_HTTP_OK, "text/plain; version=0.0.4; charset=utf-8",
                           MetricsText(m_figures->Metrics(), OutputCounts(), m_version, NowNs()));
    }
    if (url == "/api/v1/state") {
        return RespondText(connection, MHD_HTTP_OK, kJson, m_figures->State(Meter()));
    }
    if (url == "/api/v1/history" || url == "/api/v1/minutes") {
        const bool seconds = url == "/api/v1/history";
        const int64_t span = seconds ? NumberAsked(connection, "minutes", kDefaultHistoryMinutes,
                                                   kLongestHistoryMinutes)
                                     : NumberAsked(connection, "hours", 24, 24);
        if (span < 0) {
            return RespondText(connection, MHD_HTTP_BAD_REQUEST, "text/plain",
                               "the span takes a whole number\n");
        }
        return RespondText(
            connection, MHD_HTTP_OK, kJson,
            seconds ? m_figures->History(span, NowNs()) : m_figures->Minutes(span, NowNs()));
    }
    if (url == "/api/v1/stream") {
        return StartStream(connection);
    }
    return RespondText(connection, MHD_HTTP_NOT_FOUND, "text/plain", "Not found\n");
}

MHD_Result MhdServer::StartStream(MHD_Connection* connection) {
    if (++m_streams > m_limits.streams) {
        --m_streams;
        return RespondText(connection, MHD_HTTP_SERVICE_UNAVAILABLE, "text/plain",
                           "Too many event streams are open\n");
    }
    auto* stream =
        new Stream{.server = this, .connection = connection, .sent = 0, .pending = {}, .offset = 0};
    MHD_Response* response = MHD_create_response_from_callback(
        MHD_SIZE_UNKNOWN, 4096, &Stream::Read, stream, &Stream::Free);
    MHD_add_response_header(response, "Content-Type", "text/event-stream");
    MHD_add_response_header(response, "Cache-Control", "no-cache");
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    const MHD_Result queued = MHD_queue_response(connection, MHD_HTTP_OK, response);
    MHD_destroy_response(response);
    return queued;
}

std::vector<OutputCount> MhdServer::OutputCounts() const {
    std::vector<OutputCount> counts;
    for (const Output* output : m_outputs) {
        counts.push_back({output->Name(), output->Dropped()});
    }
    return counts;
}

nlohmann::json MhdServer::Meter() const {
    nlohmann::json outputs = nlohmann::json::array();
    for (const OutputCount& output : OutputCounts()) {
        outputs.push_back({{"name", output.name}, {"dropped", output.dropped}});
    }
    return {{"version", m_version}, {"outputs", outputs}};
}

}  // namespace

std::unique_ptr<HttpServer> StartHttpServer(const std::string& address,
                                            std::shared_ptr<const LiveFigures> figures,
                                            std::vector<const Output*> outputs,
                                            const HttpLimits& limits, std::string& whyNot) {
    sockaddr_storage socketAddress{};
    std::string host;
    if (!ParseListenAddress(address, "--http", socketAddress, host, whyNot)) {
        return nullptr;
    }
    auto server = std::make_unique<MhdServer>(std::move(figures), std::move(outputs), limits, host);
    const bool portOnly = address.find(':') == std::string::npos;
    if (!server->Start(socketAddress, portOnly ? host + ":" + address : address, whyNot)) {
        return nullptr;
    }
    return server;
}

}  // namespace cyclara::logger
