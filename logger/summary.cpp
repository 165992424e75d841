#include "logger/summary.h"

#include "logger/period_figures.h"
#include "grid/grid_figures.h"
#include "measure/wall_clock.h"

#include <cstdio>

namespace cyclara::logger {

namespace {

using namespace std::chrono_literals;

constexpr OutputPolicy kSummaryPolicy{.queueLimit = 1000,
                                      .batchLimit = 1000,
                                      .batchPeriod = 10'000ms,
                                      .longestRetry = 1000ms,
                                      .closeWait = 1000ms};

std::string HertzText(const std::optional<int64_t>& frequency) {
    return frequency ? FormatHertz(*frequency) : "-";
}

std::string Anchored(const PulseReport& report) {
    return report.gridTimeAnchoredNs != 0 ? ", anchored at " + FormatUtc(report.gridTimeAnchoredNs)
                                          : "";
}

class Summary : public Destination {
  public:
    explicit Summary(std::chrono::seconds every)
        : m_everyNs(std::chrono::duration_cast<std::chrono::nanoseconds>(every).count()) {}

    Delivery Deliver(const std::vector<PulseReport>& batch, uint64_t missed) override {
        m_missed += missed;
        for (const PulseReport& report : batch) {
            if (m_startNs == 0) {
                m_startNs = report.unixNanoseconds;
            }
            if (report.unixNanoseconds - m_startNs >= m_everyNs) {
                Say();
                m_startNs = report.unixNanoseconds;
            }
            m_period.Add(report);
        }
        return Delivery::All(batch.size());
    }

    void Finish() override {
        if (m_period.Pulses() > 0) {
            Say();
        }
    }

  private:
    void Say() {
        const std::optional<PulseReport>& last = m_period.Last();
        const bool timed = last && last->figures;
        std::fprintf(stderr,
                     "cyclara-log: summary: %lld pulses, frequency %s to %s Hz, grid time "
                     "deviation %s s since %s%s, %lld lost, %lld glitches, %llu not summarised\n",
                     static_cast<long long>(m_period.Pulses()), HertzText(m_period.Lowest()).c_str(),
                     HertzText(m_period.Highest()).c_str(),
                     timed ? FormatSignedSeconds(last->figures->gridTimeDeviationUs).c_str() : "-",
                     timed ? FormatUtc(last->gridTimeSinceNs).c_str() : "-",
                     timed ? Anchored(*last).c_str() : "",
                     static_cast<long long>(m_period.Lost()),
                     static_cast<long long>(m_period.Glitches()),
                     static_cast<unsigned long long>(m_missed));
        m_period = PeriodFigures{};
        m_missed = 0;
    }

    const int64_t m_everyNs;
    int64_t m_startNs = 0;
    uint64_t m_missed = 0;
    PeriodFigures m_period;
};

}  // namespace

std::unique_ptr<Output> OpenSummary(std::chrono::seconds every,
                                    std::shared_ptr<DeliveryThread> thread) {
    return std::make_unique<Output>("the summary", std::make_unique<Summary>(every),
                                    kSummaryPolicy, nullptr, std::move(thread));
}

}  // namespace cyclara::logger
