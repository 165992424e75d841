#include "logger/record/pulse_record.h"

#include "record/day_compression.h"
#include "record/record_layout.h"
#include "measure/log_files.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace cyclara::logger {

namespace {

// A file left by a run that ended mid-row (a power cut) ends after its last whole row again,
// so that the rows appended now are not glued onto a torn one. Returns the whole rows' size.
size_t CutTornTail(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), {});
    const size_t lastEnd = bytes.rfind('\n');
    const size_t whole = lastEnd == std::string::npos ? 0 : lastEnd + 1;
    if (whole < bytes.size()) {
        std::error_code ignored;
        std::filesystem::resize_file(path, whole, ignored);
    }
    return whole;
}

std::string Header() {
    return std::string(kRecordColumns) + "\n";
}

// Whether rows of today's layout may follow what the file holds: nothing yet, or the same
// header.
bool TakesThisLayout(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string header = Header();
    std::string start(header.size(), '\0');
    file.read(start.data(), static_cast<std::streamsize>(start.size()));
    return file.gcount() == 0 || (file.gcount() == static_cast<std::streamsize>(header.size()) &&
                                  start == header);
}

}  // namespace

// The folder is made if it is not there: a new meter's first run finds none.
PulseRecord::PulseRecord(std::string folder) : m_folder(std::move(folder)) {
    std::error_code ignored;
    std::filesystem::create_directories(m_folder, ignored);
}

// A day's file that was deleted or moved away is begun again, header first: the rows after it
// would otherwise go nowhere for the rest of the day.
bool PulseRecord::Append(const std::string& date, const std::string& row) {
    std::error_code ignored;
    if ((date != m_date || !std::filesystem::exists(m_path, ignored)) && !Open(date)) {
        return false;
    }
    return AppendWhole(m_path, row);
}

// A day's file is appended to, never rewritten: a restart goes on after its last row. The days
// before it, once a new day begins (or at the first row, for days a stop left), are
// compressed. A day begun by an older layout goes on in a file of its own ("2026-12-08-2.csv"), so that no file
// mixes two.
bool PulseRecord::Open(const std::string& date) {
    if (date != m_date) {
        CompressDaysBefore(m_folder, date);
    }
    std::string path = m_folder + date + ".csv";
    std::error_code ignored;
    for (int n = 2; std::filesystem::exists(path, ignored) && !TakesThisLayout(path); ++n) {
        path = m_folder + date + "-" + std::to_string(n) + ".csv";
    }
    if (CreateNewFile(path) == CreateOutcome::kFailed) {
        return false;
    }
    if (CutTornTail(path) == 0 && !AppendWhole(path, Header())) {
        return false;
    }
    m_date = date;
    m_path = path;
    return true;
}

}  // namespace cyclara::logger
