#include "logger/events/events_output.h"

#include "measure/log_files.h"
#include "measure/wall_clock.h"
#include "record/record_layout.h"

#include <cstdio>
#include <deque>
#include <filesystem>
#include <map>
#include <system_error>
#include <utility>

namespace cyclara::logger {

namespace {

std::string EventRow(const Excursion& excursion) {
    char duration[32] = "";
    if (excursion.endNs != 0) {
        std::snprintf(duration, sizeof duration, "%.0f", excursion.Seconds(0));
    }
    return FormatUtc(excursion.startNs) + "," +
           (excursion.endNs != 0 ? FormatUtc(excursion.endNs) : "") + "," + duration + "," +
           excursion.band + "," + HertzToTheMillihertz(excursion.lowHz) + "," + HertzToTheMillihertz(excursion.highHz) + "," +
           HertzToTheMillihertz(excursion.extremeHz) + "," + FormatUtc(excursion.extremeNs) + "," +
           excursion.unit + "\n";
}

class EventsDestination : public Destination {
  public:
    explicit EventsDestination(const std::string& recordFolder)
        : m_path(recordFolder.empty() ? "" : recordFolder + "/events.csv") {}

    Delivery Deliver(const std::vector<PulseReport>& batch, uint64_t) override {
        for (const PulseReport& report : batch) {
            for (const PulseReport::BandEvent& event : report.bandEvents) {
                Tell(event);
            }
            TellRunEvent(report);
        }
        if (!m_pending.empty()) {
            WritePending();
        }
        return Delivery::All(batch.size());
    }

    void Finish() override {
        for (const auto& [band, excursion] : m_open) {
            Write(excursion);
        }
    }

  private:
    // The run's events that change what its figures mean, for the journal.
    static void TellRunEvent(const PulseReport& report) {
        const std::string at = FormatUtc(report.unixNanoseconds);
        const RunEvent::Kind kind = report.event.kind;
        if (kind == RunEvent::Kind::kReferenceOn && report.clock.reference) {
            std::fprintf(stderr,
                         "cyclara-log: reference on at %s: the clock runs %+.3f ppm against it "
                         "(uncertainty %.3f ppm)\n",
                         at.c_str(), report.clock.reference->clockPpm,
                         report.clock.reference->uncertaintyPpm);
        } else if (kind == RunEvent::Kind::kReferenceLost) {
            std::fprintf(stderr,
                         "cyclara-log: reference lost at %s: the clock measures the intervals "
                         "again\n",
                         at.c_str());
        } else if (kind == RunEvent::Kind::kNoReference ||
                   kind == RunEvent::Kind::kGridTimeAnchored ||
                   kind == RunEvent::Kind::kGridTimeAnchorRefused) {
            std::fprintf(stderr, "cyclara-log: %s\n", EventWords(report).c_str());
        }
    }

    void Tell(const PulseReport::BandEvent& event) {
        const Excursion& excursion = event.excursion;
        if (event.started) {
            std::fprintf(stderr, "cyclara-log: event: %s at %s\n", BandEventText(event).c_str(),
                         FormatUtc(excursion.startNs).c_str());
            m_open[excursion.band] = excursion;
            return;
        }
        std::fprintf(stderr, "cyclara-log: event: %s at %s after %.0f s; extreme %s %s at %s\n",
                     BandEventText(event).c_str(), FormatUtc(excursion.endNs).c_str(),
                     excursion.Seconds(0), HertzToTheMillihertz(excursion.extremeHz).c_str(),
                     excursion.unit.c_str(), FormatUtc(excursion.extremeNs).c_str());
        m_open.erase(excursion.band);
        Write(excursion);
    }

    // Queued behind any row the disk has not taken yet, so the rows keep their order.
    void Write(const Excursion& excursion) {
        if (m_path.empty()) {
            return;
        }
        m_pending.push_back(EventRow(excursion));
        WritePending();
    }

    // Each row goes whole, the file begun with its header whenever it is empty (a full disk
    // leaves a file made but empty); what cannot be written now waits for the next row or the
    // stop, said once.
    void WritePending() {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(),
                                            ignored);
        while (!m_pending.empty()) {
            if (!AppendBegunWithHeader(m_path, kEventsColumns, m_pending.front())) {
                if (!std::exchange(m_told, true)) {
                    std::fprintf(stderr, "cyclara-log: %s cannot be written; its rows are kept "
                                         "until it can\n", m_path.c_str());
                }
                return;
            }
            m_pending.pop_front();
        }
        m_told = false;
    }

    const std::string m_path;
    std::deque<std::string> m_pending;  // rows not yet written, oldest first
    bool m_told = false;
    std::map<std::string, Excursion> m_open;  // started and not ended, by band
};

}  // namespace

std::unique_ptr<Output> OpenEventsOutput(const std::string& recordFolder,
                                         std::shared_ptr<DeliveryThread> thread) {
    return std::make_unique<Output>("the events",
                                    std::make_unique<EventsDestination>(recordFolder),
                                    OutputPolicy{.queueLimit = 86'400, .batchLimit = 1000},
                                    nullptr, std::move(thread));
}

}  // namespace cyclara::logger
