#include "logger/output/delivery_schedule.h"

#include <algorithm>

namespace cyclara::logger {

namespace {

int64_t Ns(std::chrono::milliseconds span) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(span).count();
}

}  // namespace

DeliverySchedule::DeliverySchedule(const OutputPolicy& policy)
    : m_policy(policy), m_queue(policy.queueLimit) {}

bool DeliverySchedule::Push(const PulseReport& report) {
    if (m_closing || m_gone) {
        ++m_undelivered;
        return false;
    }
    m_queue.Push(report);
    return true;
}

void DeliverySchedule::Close(int64_t nowNs) {
    if (!m_closing) {
        m_closing = true;
        m_closeByNs = nowNs + Ns(m_policy.closeWait);
    }
}

bool DeliverySchedule::Settled(int64_t nowNs) const {
    return m_gone || (m_closing && (m_queue.Empty() || nowNs >= m_closeByNs));
}

// A batch goes when the last one is a period old (or a whole batch waits) and any retry is
// due; at the close, at once.
int64_t DeliverySchedule::WakeAtNs() const {
    if (m_queue.Empty()) {
        return kNeverNs;
    }
    if (m_closing) {
        return 0;
    }
    const int64_t periodic =
        m_hurried || m_queue.Size() >= m_policy.batchLimit || !m_lastBatchAtNs
            ? 0
            : *m_lastBatchAtNs + Ns(m_policy.batchPeriod);
    return std::max(periodic, m_failing ? m_retryAtNs : 0);
}

std::optional<DeliverySchedule::Batch> DeliverySchedule::TakeDue(int64_t nowNs) {
    if (Settled(nowNs) || nowNs < WakeAtNs()) {
        return std::nullopt;
    }
    Batch batch{m_queue.Take(m_policy.batchLimit), m_queue.Dropped() - m_toldDropped};
    m_lastBatchAtNs = nowNs;
    return batch;
}

std::string DeliverySchedule::Handle(const Delivery& delivery, Batch batch, int64_t nowNs) {
    std::vector<PulseReport>& reports = batch.reports;
    const size_t delivered = std::min(delivery.delivered, reports.size());
    if (delivered > 0 || delivery.trouble == Delivery::Trouble::kNone) {
        m_toldDropped += batch.missed;
    }
    reports.erase(reports.begin(), reports.begin() + static_cast<std::ptrdiff_t>(delivered));
    switch (delivery.trouble) {
        case Delivery::Trouble::kNone:
            m_failing = false;
            return "";
        case Delivery::Trouble::kPassing: {
            const bool first = !m_failing;
            m_retryNs = first ? Ns(m_policy.firstRetry)
                              : std::min(m_retryNs * 2, Ns(m_policy.longestRetry));
            m_failing = true;
            m_retryAtNs = nowNs + m_retryNs;
            m_queue.PutBack(std::move(reports));
            // At the close a destination that is away is not waited for.
            if (m_closing) {
                m_closeByNs = nowNs;
            }
            return first ? delivery.problem : "";
        }
        case Delivery::Trouble::kRefused: {
            const bool first = m_refused == 0;
            m_refused += reports.size();
            return first ? delivery.problem : "";
        }
        case Delivery::Trouble::kGone:
            m_gone = true;
            m_undelivered += reports.size();
            return delivery.problem;
    }
    return "";
}

void DeliverySchedule::Abandon() {
    m_undelivered += m_queue.Take(m_policy.queueLimit).size();
}

}  // namespace cyclara::logger
