#include "logger/pulse_rows.h"

#include "logger/host_name.h"
#include "logger/line_protocol.h"
#include "res/resource.h"

#include <cstdlib>

namespace cyclara::logger {

namespace {

std::string WithoutLeadingSpaces(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first);
}

// The window's difference, "+12", " 0" or "-3", as a number.
std::optional<int64_t> DifferenceMicroseconds(const std::string& text) {
    const size_t digits = text.find_first_of("0123456789");
    if (digits == std::string::npos) {
        return std::nullopt;
    }
    const int64_t size = std::atoll(text.c_str() + digits);
    return text.find('-') != std::string::npos ? -size : size;
}

}  // namespace

std::string FormatRow(const std::string& elapsed, const std::string& width,
                      const std::string& difference, const std::string& frequency,
                      const std::optional<PulseFigures>& figures) {
    // The window pads the hours to five places and shows a zero difference as " 0".
    std::string row = WithoutLeadingSpaces(elapsed) + "\t" + width + "\t" +
                      WithoutLeadingSpaces(difference) + "\t" +
                      (frequency.empty() ? "-" : frequency);
    const bool measured = figures && figures->frequency;
    return row + "\t" + (measured ? FormatHertz(*figures->frequency) : "-") + "\t" +
           (figures ? FormatSignedSeconds(figures->gridTimeDeviationUs) : "-");
}

PulseRows::PulseRows(std::FILE* out, int64_t count, StopRequest& stop, GridRecorder& grid,
                     const std::vector<std::unique_ptr<PulseSink>>& sinks,
                     std::string lineProtocolDevice)
    : m_out(out),
      m_count(count),
      m_stop(stop),
      m_grid(grid),
      m_sinks(sinks),
      m_lineProtocolDevice(std::move(lineProtocolDevice)),
      m_host(HostName()) {}

void PulseRows::SetFieldText(int id, const char* text) {
    switch (id) {
        case IDC_ELAPSED:
            m_elapsed = text;
            break;
        case IDC_WIDTH:
            m_width = text;
            break;
        case IDC_FREQ:
            m_frequency = text;
            m_grid.OnFrequencyText(m_frequency);
            break;
        case IDC_DIFF:
            PrintRow(text);
            break;
    }
}

void PulseRows::PrintRow(const char* difference) {
    if (m_count != 0 && m_printed >= m_count) {
        return;
    }
    const PulseReport report{m_grid.LatestUnixNanoseconds(), m_grid.Latest(),
                             m_grid.CounterFrequency(), DifferenceMicroseconds(difference),
                             m_frequency};
    const std::string row =
        m_lineProtocolDevice.empty()
            ? FormatRow(m_elapsed, m_width, difference, m_frequency, m_grid.Latest()) + "\n"
            : LineProtocol(report, m_host, m_lineProtocolDevice);
    // One write a row, flushed at once: a reader at the other end of a pipe sees every pulse
    // as it comes, and a row is never left half written.
    if (std::fputs(row.c_str(), m_out) == EOF || std::fflush(m_out) != 0) {
        m_stop.Request(StopReason::kOutputClosed);
        return;
    }
    for (const std::unique_ptr<PulseSink>& sink : m_sinks) {
        sink->Publish(report);
    }
    if (++m_printed == m_count) {
        m_stop.Request(StopReason::kCountReached);
    }
}

}  // namespace cyclara::logger
