#include "logger/web/live_output.h"

#include "logger/web/http_server.h"
#include "logger/web/live_figures.h"

#include "measure/time_spans.h"
#include "measure/wall_clock.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

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

// The record's day files of today and yesterday (UTC), compressed or not, oldest first; a
// file that cannot be read gives nothing.
std::vector<RecordRow> LastDayOfRecord(const std::string& folder) {
    const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    std::vector<RecordRow> rows;
    for (const int64_t day : {now - kDayNs, now}) {
        // Yesterday's is compressed once today's first row was written.
        for (const std::string suffix : {".csv", ".csv.gz"}) {
            const ParsedRecord read = ReadRecordFile(
                (std::filesystem::path(folder) / (UtcDate(day) + suffix)).string());
            rows.insert(rows.end(), read.rows.begin(), read.rows.end());
        }
    }
    return rows;
}

}  // namespace

std::unique_ptr<Output> OpenLiveOutput(const std::string& address, const HttpLimits& limits,
                                       const GridChoice& grid, const std::string& recordFolder,
                                       std::vector<const Output*> watched, std::string& whyNot) {
    auto figures = std::make_shared<LiveFigures>(grid);
    if (!recordFolder.empty()) {
        figures->Preload(LastDayOfRecord(recordFolder));
    }
    std::unique_ptr<HttpServer> server =
        StartHttpServer(address, figures, std::move(watched), limits, whyNot);
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
