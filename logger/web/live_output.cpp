#include "logger/web/live_output.h"

#include "logger/web/http_server.h"
#include "logger/web/live_figures.h"

#include <cstdio>

namespace cyclara::logger {

namespace {

using namespace std::chrono_literals;

// A view: behind a stalled thread the oldest records go first, as the page only shows the
// latest and the history it keeps itself.
constexpr OutputPolicy kLivePolicy{
    .queueLimit = 1000, .batchLimit = 1000, .longestRetry = 1000ms, .closeWait = 1000ms};

class LivePage : public Destination {
  public:
    LivePage(std::shared_ptr<LiveFigures> figures, std::unique_ptr<HttpServer> server)
        : m_figures(std::move(figures)), m_server(std::move(server)) {}

    Delivery Deliver(const std::vector<PulseReport>& batch, uint64_t) override {
        for (const PulseReport& report : batch) {
            m_figures->Add(report);
        }
        m_server->Wake();
        return Delivery::All(batch.size());
    }

    void Finish() override { m_server->Stop(); }

  private:
    const std::shared_ptr<LiveFigures> m_figures;
    const std::unique_ptr<HttpServer> m_server;
};

}  // namespace

std::unique_ptr<Output> OpenLiveOutput(const std::string& address, const std::string& grid,
                                       std::vector<const Output*> watched, std::string& whyNot) {
    auto figures = std::make_shared<LiveFigures>(grid);
    std::unique_ptr<HttpServer> server =
        StartHttpServer(address, figures, std::move(watched), HttpLimits{}, whyNot);
    if (!server) {
        return nullptr;
    }
    std::fprintf(stderr, "cyclara-log: live page: http://%s:%u/\n",
                 server->Host().c_str(), static_cast<unsigned>(server->Port()));
    return std::make_unique<Output>("the live page",
                                    std::make_unique<LivePage>(figures, std::move(server)),
                                    kLivePolicy);
}

}  // namespace cyclara::logger
