#include "logger/standard_output.h"

#include "logger/console.h"
#include "logger/host_name.h"
#include "logger/influx/line_protocol.h"

#include <utility>

namespace cyclara::logger {

namespace {

using namespace std::chrono_literals;

// Enough for a reader held a quarter of an hour; a batch catches up after a stall.
constexpr OutputPolicy kRowsPolicy{
    .queueLimit = 1000, .batchLimit = 100, .longestRetry = 1000ms, .closeWait = 2000ms};

std::string WithoutLeadingSpaces(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first);
}

class StandardOutput : public Destination {
  public:
    StandardOutput(std::string header, std::string lineProtocolDevice)
        : m_header(std::move(header)),
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
                            ? FormatRow(report) + "\n"
                            : LineProtocol(report, m_host, m_lineProtocolDevice);
            }
        }
        if (!text.empty() && !WriteStandardOutput(text)) {
            return {0, Delivery::Trouble::kGone, ""};
        }
        return Delivery::All(batch.size());
    }

  private:
    std::string m_header;
    const std::string m_lineProtocolDevice;
    const std::string m_host;
};

}  // namespace

std::string FormatRow(const PulseReport& report) {
    const CountedPulse& pulse = *report.pulse;
    const std::optional<PulseFigures>& figures = report.figures;
    const bool measured = figures && figures->frequencyTenMicroHz;
    return WithoutLeadingSpaces(ElapsedText(pulse.count)) + "\t" + WidthText(pulse.widthUs) +
           "\t" + WithoutLeadingSpaces(DifferenceText(pulse.differenceUs)) + "\t" +
           (report.frequencyText.empty() ? "-" : report.frequencyText) + "\t" +
           (measured ? FormatHertz(*figures->frequencyTenMicroHz) : "-") + "\t" +
           (figures ? FormatSignedSeconds(figures->gridTimeDeviationUs) : "-");
}

std::unique_ptr<Output> OpenStandardOutput(std::string header, std::string lineProtocolDevice,
                                           std::function<void()> onClosed) {
    return std::make_unique<Output>(
        "standard output",
        std::make_unique<StandardOutput>(std::move(header), std::move(lineProtocolDevice)),
        kRowsPolicy, std::move(onClosed));
}

}  // namespace cyclara::logger
