#include "simulator/device.h"

#include "simulator/line_report.h"
#include "simulator/pulse_plan.h"
#include "simulator/reference_pulses.h"
#include "simulator/run_signals.h"

#include <sched.h>

#include <algorithm>
#include <cmath>

namespace cyclara::simulator {

namespace {

// The pulses leave on time on a busy machine only at a real-time priority (root or
// CAP_SYS_NICE); the programs it starts do not inherit it. Tests compare what a program
// measured with the rises written to the events file, so they hold either way.
bool RaisePulsePriority() {
    sched_param param{};
    param.sched_priority = 1;
    return sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
}

}  // namespace

bool Device::AwaitWatcher() {
    while (!Interrupted()) {
        if (m_modem.WaitUntilWatched(m_plug.Slot(), std::chrono::milliseconds(200))) {
            return true;
        }
    }
    return false;
}

void Device::Run() {
    std::optional<ReferencePulses> reference;
    if (m_o.reference.on) {
        reference.emplace(m_o.reference, m_modem, m_plug.Slot(),
                          [this](const char* what, int64_t n, const char* detail, int64_t ns) {
                              Event(what, n, detail, ns);
                          });
    }
    SendPulses();
    ReportSeen();
}

void Device::SendPulses() {
    PulseShape shape = m_o.shape;
    shape.periodNs = std::llround(m_o.periodSeconds * 1e9);
    PulsePlan plan(shape);
    const int64_t widthNs = std::llround(m_o.widthSeconds * 1e9);
    const int64_t leadNs = std::llround(m_o.lineLeadSeconds * 1e9);
    // A tenth of a period's lead keeps the first rise's jitter after the start.
    int64_t start = MonotonicNs() + shape.periodNs / 10;
    Event("settings", 0, DescribeLine(m_plug.HeldFd()));
    Event("priority", 0, RaisePulsePriority() ? "real-time" : "normal");
    int64_t pluggedAt = 0;
    for (int64_t n = 1; m_o.count == 0 || n <= m_o.count; ++n) {
        const int64_t rise = start + plan.NextRiseNs();
        if (leadNs > 0) {
            if (!SleepUntil(rise - leadNs)) {
                return;
            }
            SendLines(n);
        }
        if (!SleepUntil(rise) || !SendPulse(n, rise + widthNs)) {
            return;
        }
        if (leadNs == 0) {
            SendLines(n);
        }
        if (!SendSpurious(n, rise, widthNs)) {
            return;
        }
        if (n - pluggedAt == m_o.removeAfter && n != m_o.count) {
            if (!PullOutAndBack(n)) {
                return;
            }
            // The pulses go on a period after the device is back, not in a burst of
            // those it missed.
            start += MonotonicNs() - rise;
            pluggedAt = n;
        }
    }
}

bool Device::PullOutAndBack(int64_t n) {
    ReportSeen();
    m_plug.Pull();
    Event("remove", n, "");
    if (m_o.backAfterSeconds <= 0 ||
        !SleepUntil(MonotonicNs() + std::llround(m_o.backAfterSeconds * 1e9))) {
        return false;
    }
    m_plug.Insert();
    Event("back", n, m_plug.SlavePath());
    return AwaitWatcher();
}

bool Device::SendPulse(int64_t n, int64_t fall) {
    if (std::find(m_o.skip.begin(), m_o.skip.end(), n) != m_o.skip.end()) {
        Event("skip", n, "");
        return SleepUntil(fall);
    }
    Change(n, true);
    const bool slept = SleepUntil(fall);
    Change(n, false);
    return slept;
}

bool Device::SendSpurious(int64_t n, int64_t rise, int64_t widthNs) {
    if (n != m_o.spuriousAfter) {
        return true;
    }
    const int64_t spuriousRise = rise + std::llround(m_o.spuriousDelaySeconds * 1e9);
    if (!SleepUntil(spuriousRise)) {
        return false;
    }
    Change(-n, true);
    const bool slept = SleepUntil(spuriousRise + widthNs);
    Change(-n, false);
    return slept;
}

void Device::Change(int64_t n, bool on) {
    ReportSeen();
    m_modem.SetDsr(m_plug.Slot(), on);
    Event(on ? "rise" : "fall", n, "", m_modem.EdgeNanoseconds(m_plug.Slot()));
    m_unseen = {n, on};
}

void Device::ReportSeen() {
    const std::optional<int64_t> seen = m_modem.SeenNanoseconds(m_plug.Slot());
    if (m_unseen && seen) {
        Event("seen", m_unseen->first, m_unseen->second ? "rise" : "fall", *seen);
    }
    m_unseen.reset();
}

void Device::SendLines(int64_t n) {
    if (m_o.lineEvery == 0 || n % m_o.lineEvery != 0) {
        return;
    }
    if (m_o.noiseBytes > 0) {
        const std::string noise = NoiseLine();
        m_plug.Line().Send(noise + "\r\n");
        Event("noise", n, std::to_string(noise.size()) + " bytes");
    }
    const std::string figure =
        m_o.text.empty() ? std::to_string(m_o.frequency) + "Hz" : m_o.text;
    m_plug.Line().Send(figure + "\r\n");
    Event("line", n, figure);
}

std::string Device::NoiseLine() {
    std::uniform_int_distribution<int> byte(1, 255);
    std::string noise;
    while (noise.size() < static_cast<size_t>(m_o.noiseBytes)) {
        const char ch = static_cast<char>(byte(m_noise));
        if (ch != '\n' && !(noise.size() == 2 && ch == 'H')) {
            noise += ch;
        }
    }
    return noise;
}

void Device::Event(const char* what, int64_t n, const std::string& detail, int64_t ns) {
    if (m_events == nullptr) {
        return;
    }
    std::fprintf(m_events, "%lld\t%s\t%lld%s%s\n",
                 static_cast<long long>(ns != 0 ? ns : MonotonicNs()), what,
                 static_cast<long long>(n), detail.empty() ? "" : "\t", detail.c_str());
    std::fflush(m_events);
}

}  // namespace cyclara::simulator
