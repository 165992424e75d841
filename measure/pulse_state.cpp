#include "measure/pulse_state.h"

#include "measure/counted_pulse.h"
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
    m_last = 0;
    m_start = 0;
    m_warmUpCount = 0;
    m_intervalCount = 0;
}

void PulseState::OnDsrOn(int64_t now) {
    m_display.SetIndicator(true);
    if (m_warmUpCount < kWarmUpPulses) {
        ++m_warmUpCount;
        return;
    }
    if (m_start == 0) {
        m_start = now;
        m_last = now;
        m_intervalCount = 0;
        m_display.OnCountedPulse(CountedPulse{now, 0, 0, 0, 0, m_frequency});
    } else {
        Measure(now);
    }
    m_last = now;
    ++m_intervalCount;
}

void PulseState::OnDsrOff() {
    m_display.SetIndicator(false);
}

void PulseState::Measure(int64_t now) {
    const int32_t n = m_intervalCount;
    const CountedPulse pulse{
        now,
        TicksBetween(now, m_last),
        n,
        Low32(TicksToMicroseconds(TicksBetween(now, m_last), m_frequency)),
        MeanDeviationMicroseconds(TicksBetween(now, m_start), n, m_frequency),
        m_frequency};
    m_display.SetFieldText(IDC_ELAPSED, ElapsedText(pulse.count).c_str());
    m_display.SetFieldText(IDC_WIDTH, WidthText(pulse.widthUs).c_str());
    m_display.SetFieldText(IDC_DIFF, DifferenceText(pulse.differenceUs).c_str());
    m_display.OnCountedPulse(pulse);

    // The first row stands for the start of counting, hence 0:00:00 beside the window's 0:00:01.
    if (n == 1 || n % kLogEveryIntervals == 0) {
        const Elapsed elapsed = SplitElapsed(n);
        m_log.WriteLog(kLogAppend, elapsed.hours, elapsed.minutes, n == 1 ? 0 : elapsed.seconds,
                       DifferenceSign(pulse.differenceUs),
                       DifferenceMagnitude(pulse.differenceUs));
    }
}

std::string ElapsedText(int32_t count) {
    const Elapsed elapsed = SplitElapsed(count);
    char text[32];
    std::snprintf(text, sizeof text, "%5d:%02d:%02d", static_cast<int>(elapsed.hours),
                  static_cast<int>(elapsed.minutes), static_cast<int>(elapsed.seconds));
    return text;
}

std::string WidthText(int32_t widthUs) {
    return std::to_string(widthUs);
}

std::string DifferenceText(int32_t differenceUs) {
    char text[32];
    std::snprintf(text, sizeof text, "%c%ld", DifferenceSign(differenceUs),
                  static_cast<long>(DifferenceMagnitude(differenceUs)));
    return text;
}

}  // namespace cyclara
