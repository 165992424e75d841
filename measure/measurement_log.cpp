#include "measure/measurement_log.h"

#include "measure/log_files.h"

#include <cstdio>
#include <utility>

namespace cyclara {

namespace {

// A second opening within the same local second, or a clock set back, names an existing
// file; the suffixes _2, _3, ... keep its rows. The bound only stops a runaway loop.
constexpr int kMaxNameSuffix = 1000;

std::string FileStem(const LocalTime& t) {
    char stem[64];
    std::snprintf(stem, sizeof stem, "%04d.%02d.%02d_%02d.%02d.%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return stem;
}

std::string CandidateName(const std::string& stem, int suffix) {
    return suffix == 1 ? stem + ".csv" : stem + "_" + std::to_string(suffix) + ".csv";
}

}  // namespace

MeasurementLog::MeasurementLog(LocalClock clock, std::vector<LogFolder> folders)
    : m_clock(std::move(clock)), m_folders(std::move(folders)) {}

void MeasurementLog::WriteLog(int32_t mode, int32_t hours, int32_t minutes, int32_t seconds,
                              char sign, int32_t value) {
    if (mode == kLogCreate) {
        Create();
    } else {
        AppendRow(hours, minutes, seconds, sign, value);
    }
}

void MeasurementLog::Create() {
    const std::string stem = FileStem(m_clock());
    m_path.clear();
    for (const LogFolder& folder : m_folders) {
        const std::string path = folder();
        if (!path.empty() && CreateIn(path, stem)) {
            return;
        }
    }
}

bool MeasurementLog::CreateIn(const std::string& folder, const std::string& stem) {
    for (int suffix = 1; suffix <= kMaxNameSuffix; ++suffix) {
        const std::string path = folder + CandidateName(stem, suffix);
        const CreateOutcome outcome = CreateNewFile(path);
        if (outcome == CreateOutcome::kFailed) {
            return false;
        }
        // Even an empty file of the name is another opening's: two programs opening within
        // the same second would otherwise share it and interleave their rows.
        if (outcome == CreateOutcome::kCreated) {
            m_path = path;
            return true;
        }
    }
    return false;
}

void MeasurementLog::AppendRow(int32_t hours, int32_t minutes, int32_t seconds, char sign,
                               int32_t value) {
    if (m_path.empty()) {
        return;
    }
    // Rows end in CR LF on every platform and nothing else is translated. A row that cannot
    // be written whole is left out, and the measurement goes on.
    const LocalTime t = m_clock();
    char row[96];
    std::snprintf(row, sizeof row, "%04d/%02d/%02d %02d:%02d:%02d,%d:%02d:%02d,%c%d\r\n", t.year,
                  t.month, t.day, t.hour, t.minute, t.second, static_cast<int>(hours),
                  static_cast<int>(minutes), static_cast<int>(seconds), sign,
                  static_cast<int>(value));
    AppendWhole(m_path, row);
}

std::vector<LogFolder> ProgramLogFolders() {
    return {ProgramFolder, UserDataFolder};
}

MeasurementLog& ProcessMeasurementLog() {
    static MeasurementLog log(SystemLocalTime, ProgramLogFolders());
    return log;
}

}  // namespace cyclara
