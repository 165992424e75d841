#include "measure/pulse_state.h"

#include "measure/measurement_display.h"
#include "measure/measurement_log.h"
#include "measure/timing.h"
#include "res/resource.h"

#include <cstdio>

namespace cyclara {

PulseState::PulseState(MeasurementDisplay& display, MeasurementLog& log)
    : m_display(display), m_log(log) {}

void PulseState::Reset(int64_t frequency) {
    m_frequency = frequency;
    m_now = 0;
    m_last = 0;
    m_start = 0;
    m_warmUpCount = 0;
    m_intervalCount = 0;
}

void PulseState::OnDsrOn(int64_t now) {
    m_now = now;
    m_display.SetIndicator(true);
    if (m_warmUpCount < kWarmUpPulses) {
        ++m_warmUpCount;
        return;
    }
    if (m_start == 0) {
        m_start = m_now;
        m_last = m_now;
        m_intervalCount = 0;
    } else {
        Measure();
    }
    m_last = m_now;
    ++m_intervalCount;
}

void PulseState::OnDsrOff() {
    m_display.SetIndicator(false);
}

void PulseState::Measure() {
    const int32_t n = m_intervalCount;
    const Elapsed elapsed = SplitElapsed(n);
    ShowElapsed(elapsed.hours, elapsed.minutes, elapsed.seconds);
    ShowWidth();

    const int32_t difference = MeanDeviationMicroseconds(TicksBetween(m_now, m_start), n, m_frequency);
    const char sign = DifferenceSign(difference);
    const int32_t magnitude = DifferenceMagnitude(difference);
    char text[32];
    std::snprintf(text, sizeof text, "%c%ld", sign, static_cast<long>(magnitude));
    m_display.SetFieldText(IDC_DIFF, text);

    // The first row stands for the start of counting, hence 0:00:00 beside the window's 0:00:01.
    if (n == 1 || n % kLogEveryIntervals == 0) {
        m_log.WriteLog(kLogAppend, elapsed.hours, elapsed.minutes, n == 1 ? 0 : elapsed.seconds,
                       sign, magnitude);
    }
}

void PulseState::ShowElapsed(int32_t hours, int32_t minutes, int32_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%5d:%02d:%02d", static_cast<int>(hours),
                  static_cast<int>(minutes), static_cast<int>(seconds));
    m_display.SetFieldText(IDC_ELAPSED, text);
}

void PulseState::ShowWidth() {
    const int32_t width = Low32(TicksToMicroseconds(TicksBetween(m_now, m_last), m_frequency));
    char text[16];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(width));
    m_display.SetFieldText(IDC_WIDTH, text);
}

}  // namespace cyclara
