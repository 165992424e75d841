#include "logger/pulse_dispatch.h"

namespace cyclara::logger {

void PulseDispatch::StartRun(CommDevice* reference) {
    m_reference = reference;
    m_pipeline.StartRun(reference != nullptr);
}

void PulseDispatch::SetIndicator(bool lit) {
    m_rises += lit ? 1 : 0;
}

void PulseDispatch::OnDeviceFigure(const char* figure) {
    ++m_lines;
    m_pipeline.OnDeviceFigure(figure);
}

void PulseDispatch::OnCountedPulse(const CountedPulse& pulse) {
    if (m_count != 0 && m_measured >= m_count) {
        return;
    }
    TakeReferenceRises();
    m_pipeline.OnCountedPulse(pulse);
    if (pulse.count > 0 && ++m_measured == m_count) {
        m_stop.Request(StopReason::kCountReached);
    }
}

void PulseDispatch::TakeReferenceRises() {
    if (m_reference == nullptr) {
        return;
    }
    std::string whyNot;
    if (!m_reference->TakeDcdRises(m_referenceRises, whyNot)) {
        m_pipeline.OnReferenceGone(whyNot);
        m_reference = nullptr;
        return;
    }
    m_pipeline.OnReferenceRises(m_referenceRises);
}

}  // namespace cyclara::logger
