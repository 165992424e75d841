#include "logger/epoch/epoch_file.h"

#include "measure/log_files.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace cyclara::logger {

namespace {

using namespace std::chrono_literals;

constexpr const char* kFirstLine = "# cyclara grid time epoch 1";
constexpr int64_t kWriteEveryNs = 10'000'000'000;
// The state of the last pulse of a batch is what is kept: a file every 10 s serves a restart
// as well as one a pulse, at a tenth of the writes.
constexpr OutputPolicy kEpochPolicy{.queueLimit = 1000,
                                    .batchLimit = 1000,
                                    .batchPeriod = 10'000ms,
                                    .longestRetry = 1000ms,
                                    .closeWait = 1000ms};

std::string PathIn(const std::string& folder) {
    return (std::filesystem::path(folder) / kEpochFileName).string();
}

template <typename T>
bool Parse(const std::map<std::string, std::string>& values, const char* key, T& into) {
    const auto found = values.find(key);
    if (found == values.end()) {
        return false;
    }
    const std::string& text = found->second;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), into);
    return error == std::errc() && end == text.data() + text.size();
}

// The state the reports show: the epoch's start and the last counted pulse.
class EpochKeeper : public Destination {
  public:
    explicit EpochKeeper(std::string folder) : m_folder(std::move(folder)) {}

    Delivery Deliver(const std::vector<PulseReport>& batch, uint64_t) override {
        for (const PulseReport& report : batch) {
            Note(report);
        }
        if (m_state && m_state->lastUnixNs - m_writtenNs >= kWriteEveryNs) {
            Write();
        }
        return Delivery::All(batch.size());
    }

    void Finish() override {
        if (m_state) {
            Write();
        }
    }

  private:
    void Note(const PulseReport& report) {
        if (!report.IsMeasured() || !report.figures || !report.figures->meanFrequencyTenMicroHz) {
            return;
        }
        const double mean = HertzOf(*report.figures->meanFrequencyTenMicroHz);
        m_state = EpochState{report.gridTimeSinceNs, report.unixNanoseconds,
                             report.figures->gridTimeDeviationUs, mean, report.nominalHz,
                             report.gridTimeAnchoredNs};
    }

    void Write() {
        m_writtenNs = m_state->lastUnixNs;
        if (!WriteEpochFile(m_folder, *m_state) && !m_told) {
            m_told = true;
            std::fprintf(stderr, "cyclara-log: the grid time's epoch cannot be kept in %s\n",
                         m_folder.c_str());
        }
    }

    const std::string m_folder;
    std::optional<EpochState> m_state;
    int64_t m_writtenNs = 0;
    bool m_told = false;
};

}  // namespace

std::optional<EpochState> ReadEpochFile(const std::string& folder) {
    std::ifstream file(PathIn(folder));
    std::string line;
    if (!std::getline(file, line) || line != kFirstLine) {
        return std::nullopt;
    }
    std::map<std::string, std::string> values;
    while (std::getline(file, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    EpochState state;
    const bool whole = Parse(values, "since_unix_ns", state.sinceUnixNs) &&
                       Parse(values, "last_unix_ns", state.lastUnixNs) &&
                       Parse(values, "last_deviation_us", state.lastDeviationUs) &&
                       Parse(values, "last_mean_hz", state.lastMeanHz) &&
                       Parse(values, "nominal", state.nominal);
    // Files from before anchors were kept have none.
    Parse(values, "anchored_unix_ns", state.anchoredUnixNs);
    return whole ? std::optional(state) : std::nullopt;
}

KeptEpoch TakeKeptEpoch(const std::string& folder) {
    const std::string path = PathIn(folder);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return {};
    }
    if (status.type() != std::filesystem::file_type::regular) {
        return {std::nullopt, "the grid time's epoch " + path +
                                  " is not a file; a new epoch starts, and none is kept until "
                                  "it is moved away"};
    }
    if (std::optional<EpochState> state = ReadEpochFile(folder)) {
        return {state, ""};
    }
    const std::string aside = path + ".damaged";
    std::filesystem::rename(path, aside, error);
    return {std::nullopt, "the grid time's epoch " + path +
                              " cannot be read (empty, cut short or not an epoch); " +
                              (error ? "it stays where it is" : "it is kept as " + aside) +
                              ", and a new epoch starts"};
}

bool WriteEpochFile(const std::string& folder, const EpochState& state) {
    std::ostringstream text;
    char mean[32];
    std::snprintf(mean, sizeof mean, "%.5f", state.lastMeanHz);
    text << kFirstLine << "\nsince_unix_ns=" << state.sinceUnixNs
         << "\nlast_unix_ns=" << state.lastUnixNs
         << "\nlast_deviation_us=" << state.lastDeviationUs << "\nlast_mean_hz=" << mean
         << "\nnominal=" << state.nominal << "\nanchored_unix_ns=" << state.anchoredUnixNs
         << "\n";
    // Replaced whole: a stop in the middle leaves the old state, never half of the new.
    const std::string path = PathIn(folder);
    const std::string written = path + ".new";
    std::error_code error;
    std::filesystem::remove(written, error);
    if (CreateNewFile(written) != CreateOutcome::kCreated || !AppendWhole(written, text.str())) {
        return false;
    }
    std::filesystem::rename(written, path, error);
    return !error;
}

std::unique_ptr<Output> OpenEpochOutput(const std::string& folder,
                                        std::shared_ptr<DeliveryThread> thread) {
    return std::make_unique<Output>("the grid time's epoch",
                                    std::make_unique<EpochKeeper>(folder), kEpochPolicy, nullptr,
                                    std::move(thread));
}

}  // namespace cyclara::logger
