#include "grid/band_watch.h"

#include <cmath>

namespace cyclara {

double BandWatch::Distance(double hertz) const {
    return hertz < m_band.lowHz ? m_band.lowHz - hertz : hertz - m_band.highHz;
}

BandWatch::Change BandWatch::Reading(double hertz, int64_t unixNs) {
    const bool open = m_current && m_current->endNs == 0;
    if (!open) {
        if (!Outside(hertz)) {
            m_pending.reset();
            return Change::kNone;
        }
        if (!m_pending) {
            m_pending = std::make_pair(hertz, unixNs);
            return Change::kNone;
        }
        const auto [firstHz, firstNs] = *m_pending;
        m_pending.reset();
        const bool firstFurther = Distance(firstHz) >= Distance(hertz);
        m_current = Excursion{m_band.name,   m_band.lowHz, m_band.highHz,
                              firstNs,       0,            firstFurther ? firstHz : hertz,
                              firstFurther ? firstNs : unixNs, m_band.unit};
        m_told = false;
    } else if (BackInside(hertz)) {
        if (!m_pending) {
            m_pending = std::make_pair(hertz, unixNs);
            return Change::kNone;
        }
        m_current->endNs = m_pending->second;
        m_pending.reset();
        return m_told ? Change::kEnded : Change::kNone;
    } else {
        m_pending.reset();
        if (Outside(hertz) && Distance(hertz) > Distance(m_current->extremeHz)) {
            m_current->extremeHz = hertz;
            m_current->extremeNs = unixNs;
        }
    }
    if (!m_told && m_current->Seconds(unixNs) >= static_cast<double>(m_band.minimumSeconds) - 1) {
        m_told = true;
        return Change::kStarted;
    }
    return Change::kNone;
}

}  // namespace cyclara
