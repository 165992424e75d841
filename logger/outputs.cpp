#include "logger/outputs.h"

#include "command_line/command_line.h"
#include "logger/console.h"
#include "logger/epoch/epoch_file.h"
#include "logger/events/events_output.h"
#include "logger/network_outputs.h"
#include "logger/record/record_output.h"
#include "logger/service_notify.h"
#include "logger/standard_output.h"
#include "logger/statistics/statistics_output.h"
#include "logger/summary.h"

#include <chrono>
#include <cstdio>

namespace cyclara::logger {

namespace {

template <typename T>
std::vector<T*> Pointers(const std::vector<std::unique_ptr<Output>>& outputs) {
    std::vector<T*> pointers;
    for (const std::unique_ptr<Output>& output : outputs) {
        pointers.push_back(output.get());
    }
    return pointers;
}

}  // namespace

OpenedOutputs OpenOutputs(const LoggerOptions& options, const std::string& path,
                          StopRequest& stop) {
    OpenedOutputs opened;
    opened.outputs = OpenNetworkOutputs(options, opened.whyNot);
    if (!opened.whyNot.empty()) {
        return {{}, opened.whyNot, kExitUsage};
    }
    std::vector<std::unique_ptr<Output>>& outputs = opened.outputs;
    if (!options.quiet) {
        const bool lineProtocol = options.format == "influx";
        const RowLayout layout = StandardOutputIsTerminal() && !lineProtocol ? RowLayout::kColumns
                                                                             : RowLayout::kTabs;
        outputs.push_back(OpenStandardOutput(layout, lineProtocol ? path : "",
                                             [&stop] { stop.Request(StopReason::kOutputClosed); }));
    }
    // The files on a local disk are quick to write: one thread wakes for all of them.
    const std::shared_ptr<DeliveryThread> local = StartDeliveryThread("local files");
    if (!options.recordDir.empty()) {
        outputs.push_back(OpenRecordOutput(options.recordDir, local));
        outputs.push_back(OpenEpochOutput(options.recordDir, local));
        outputs.push_back(OpenStatisticsOutput(options.recordDir, options.grid, local));
    }
    outputs.push_back(OpenEventsOutput(options.recordDir, local));
    if (options.summaryEverySeconds > 0) {
        outputs.push_back(OpenSummary(std::chrono::seconds(options.summaryEverySeconds), local));
    }
    if (!options.http.empty()) {
        std::string whyNot;
        std::unique_ptr<Output> page =
            OpenLivePage(options, Pointers<const Output>(outputs), whyNot);
        if (!page) {
            CloseOutputs(outputs);
            return {{}, whyNot, 1};
        }
        outputs.push_back(std::move(page));
    }
    return opened;
}

// Delivers what each output holds, within its bound, and says what any could not deliver:
// the end of the run, which the service manager is told of first.
void CloseOutputs(const std::vector<std::unique_ptr<Output>>& outputs) {
    NotifyStopping();
    for (const std::unique_ptr<Output>& output : outputs) {
        output->Close();
        if (output->Dropped() != 0) {
            std::fprintf(stderr, "cyclara-log: %llu records were not delivered to %s\n",
                         static_cast<unsigned long long>(output->Dropped()),
                         output->Name().c_str());
        }
        if (output->Refused() != 0) {
            std::fprintf(stderr, "cyclara-log: %s refused %llu records in all\n",
                         output->Name().c_str(),
                         static_cast<unsigned long long>(output->Refused()));
        }
    }
}

void DrainAndCloseOutputs(const std::vector<std::unique_ptr<Output>>& outputs) {
    for (const std::unique_ptr<Output>& output : outputs) {
        output->Drain();
    }
    CloseOutputs(outputs);
}

}  // namespace cyclara::logger
