#include "logger/summary.h"

#include "measure/grid_figures.h"

#include <algorithm>
#include <cstdio>

namespace cyclara::logger {

namespace {

constexpr OutputPolicy kSummaryPolicy{1000, 1000, std::chrono::milliseconds(0),
                                      std::chrono::milliseconds(1000),
                                      std::chrono::milliseconds(1000),
                                      std::chrono::milliseconds(1000)};

// The figures of one period; the report's own UTC times tell when a period is over.
struct Period {
    int64_t pulses = 0;
    int64_t lost = 0;
    int64_t glitches = 0;
    std::optional<int64_t> lowest;
    std::optional<int64_t> highest;
    std::optional<int64_t> gridTimeUs;
};

std::string Hertz(const std::optional<int64_t>& frequency) {
    return frequency ? FormatHertz(*frequency) : "-";
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
            Count(report);
        }
        return Delivery::All(batch.size());
    }

    void Finish() override {
        if (m_period.pulses > 0) {
            Say();
        }
    }

  private:
    void Count(const PulseReport& report) {
        if (!report.IsMeasured() || !report.figures) {
            return;
        }
        const PulseFigures& figures = *report.figures;
        ++m_period.pulses;
        m_period.lost += figures.lost;
        m_period.glitches += figures.kind == PulseFigures::Kind::kGlitch ? 1 : 0;
        m_period.gridTimeUs = figures.gridTimeDeviationUs;
        if (figures.frequency) {
            m_period.lowest = std::min(m_period.lowest.value_or(*figures.frequency),
                                       *figures.frequency);
            m_period.highest = std::max(m_period.highest.value_or(*figures.frequency),
                                        *figures.frequency);
        }
    }

    void Say() {
        std::fprintf(stderr,
                     "cyclara-log: summary: %lld pulses, frequency %s to %s Hz, grid time "
                     "deviation %s s, %lld lost, %lld glitches, %llu not summarised\n",
                     static_cast<long long>(m_period.pulses), Hertz(m_period.lowest).c_str(),
                     Hertz(m_period.highest).c_str(),
                     m_period.gridTimeUs ? FormatSignedSeconds(*m_period.gridTimeUs).c_str()
                                         : "-",
                     static_cast<long long>(m_period.lost),
                     static_cast<long long>(m_period.glitches),
                     static_cast<unsigned long long>(m_missed));
        m_period = Period{};
        m_missed = 0;
    }

    const int64_t m_everyNs;
    int64_t m_startNs = 0;
    uint64_t m_missed = 0;
    Period m_period;
};

}  // namespace

std::unique_ptr<Output> OpenSummary(std::chrono::seconds every) {
    return std::make_unique<Output>("the summary", std::make_unique<Summary>(every),
                                    kSummaryPolicy);
}

}  // namespace cyclara::logger
