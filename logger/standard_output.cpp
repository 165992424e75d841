#include "logger/standard_output.h"

#include "logger/console.h"
#include "logger/host_name.h"
#include "logger/influx/line_protocol.h"

#include <utility>
#include <vector>

namespace cyclara::logger {

namespace {

using namespace std::chrono_literals;

// Enough for a reader held a quarter of an hour; a batch catches up after a stall.
constexpr OutputPolicy kRowsPolicy{
    .queueLimit = 1000, .batchLimit = 100, .longestRetry = 1000ms, .closeWait = 2000ms};

// The columns' names, and the width each keeps on a terminal: its name's, or a wide value's
// (a week's elapsed count, a grid time of minutes).
struct Column {
    const char* name;
    size_t width;
};
constexpr Column kColumns[] = {{"elapsed", 9},      {"width_us", 8},     {"difference_us", 13},
                               {"frequency_hz", 12}, {"measured_hz", 11}, {"grid_time_deviation_s", 21}};

std::string Laid(const std::vector<std::string>& fields, RowLayout layout) {
    std::string row;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (layout == RowLayout::kTabs) {
            row += (i == 0 ? "" : "\t") + fields[i];
            continue;
        }
        const size_t width = kColumns[i].width;
        row += (i == 0 ? "" : "  ") + std::string(fields[i].size() < width ? width - fields[i].size() : 0, ' ') +
               fields[i];
    }
    return row;
}

std::string WithoutLeadingSpaces(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first);
}

class StandardOutput : public Destination {
  public:
    StandardOutput(RowLayout layout, std::string lineProtocolDevice)
        : m_layout(layout),
          m_header(layout == RowLayout::kColumns ? RowHeader() + "\n" : ""),
          m_lineProtocolDevice(std::move(lineProtocolDevice)),
          m_host(m_lineProtocolDevice.empty() ? "" : HostName()) {}

    // One write a batch, straight to the file descriptor: a reader at the other end of a pipe
    // sees every pulse as it comes, a row is never left half written, and no buffer is left
    // for the exit to flush into a stalled reader.
    Delivery Deliver(const std::vector<PulseReport>& batch, uint64_t) override {
        std::string text = std::exchange(m_header, "");
        for (const PulseReport& report : batch) {
            if (report.IsMeasured()) {
                text += m_lineProtocolDevice.empty()
                            ? FormatRow(report, m_layout) + "\n"
                            : LineProtocol(report, m_host, m_lineProtocolDevice);
            }
        }
        if (!text.empty() && !WriteStandardOutput(text)) {
            return {0, Delivery::Trouble::kGone, ""};
        }
        return Delivery::All(batch.size());
    }

  private:
    const RowLayout m_layout;
    std::string m_header;
    const std::string m_lineProtocolDevice;
    const std::string m_host;
};

}  // namespace

std::string RowHeader() {
    std::vector<std::string> names;
    for (const Column& column : kColumns) {
        names.push_back(column.name);
    }
    return Laid(names, RowLayout::kColumns);
}

std::string FormatRow(const PulseReport& report, RowLayout layout) {
    const CountedPulse& pulse = *report.pulse;
    const std::optional<PulseFigures>& figures = report.figures;
    const bool measured = figures && figures->frequencyTenMicroHz;
    return Laid({WithoutLeadingSpaces(ElapsedText(pulse.count)), WidthText(pulse.widthUs),
                 WithoutLeadingSpaces(DifferenceText(pulse.differenceUs)),
                 report.frequencyText.empty() ? "-" : report.frequencyText,
                 measured ? FormatHertz(*figures->frequencyTenMicroHz) : "-",
                 figures ? FormatSignedSeconds(figures->gridTimeDeviationUs) : "-"},
                layout);
}

std::unique_ptr<Output> OpenStandardOutput(RowLayout layout, std::string lineProtocolDevice,
                                           std::function<void()> onClosed) {
    return std::make_unique<Output>(
        "standard output",
        std::make_unique<StandardOutput>(layout, std::move(lineProtocolDevice)),
        kRowsPolicy, std::move(onClosed));
}

}  // namespace cyclara::logger
