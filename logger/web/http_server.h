// cyclara-log's read-only web server: the live page, its API and the metrics, on fixed routes.
// Its own threads answer every request from LiveFigures; none of them touches the measurement.
#pragma once

#include "logger/output/output.h"
#include "logger/web/live_figures.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cyclara::logger {

struct HttpLimits {
    unsigned connections = 256;  // beyond them a new connection is closed at once
    unsigned streams = 32;       // event streams open at once; beyond them 503
    unsigned idleSeconds = 10;   // a client that sends or reads nothing, this long
    unsigned headSeconds = 10;   // a request's head is whole this long after the accept
    size_t connectionMemory = 32 * 1024;  // a larger request head is refused (431)
};

class HttpServer {
  public:
    virtual ~HttpServer() = default;
    // The live output's thread, after each record: the streams waiting for one go on.
    virtual void Wake() = 0;
    // Where it listens: the address as given, the port the system chose for port 0.
    virtual std::string Host() const = 0;
    virtual uint16_t Port() const = 0;
    // Ends every stream and stops answering; waits for the server's threads.
    virtual void Stop() = 0;
};

// Listens on `address` ("PORT" on 127.0.0.1, or "ADDRESS:PORT"). Null with `whyNot` set when
// it cannot (a bad address, a port in use). `outputs` are those whose counts it shows.
std::unique_ptr<HttpServer> StartHttpServer(const std::string& address,
                                            std::shared_ptr<const LiveFigures> figures,
                                            std::vector<const Output*> outputs,
                                            const HttpLimits& limits, std::string& whyNot);

}  // namespace cyclara::logger
