// The CSV log of one opening of the port: created when the receive thread starts, one row at
// the first measured interval and then every ten minutes of counted time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace cyclara {

struct LocalTime {
    int year;
    int month;  // 1 to 12
    int day;
    int hour;  // 0 to 23
    int minute;
    int second;
};
using LocalClock = std::function<LocalTime()>;

// The machine's local calendar time now.
LocalTime SystemLocalTime();

// A folder a log may go to, asked only when the folders before it failed, so a fallback
// folder is created only when it is needed. An empty result skips the folder.
using LogFolder = std::function<std::string()>;

inline constexpr int32_t kLogAppend = 0;
inline constexpr int32_t kLogCreate = 1;

class MeasurementLog {
  public:
    // `folders` in order of preference, each ending in a path separator.
    MeasurementLog(LocalClock clock, std::vector<LogFolder> folders);

    // Mode kLogCreate makes a new empty file named after the local time and ignores the
    // other arguments; any other mode appends one row to the latest file. Failures are not
    // reported: the measurement goes on without its log.
    void WriteLog(int32_t mode, int32_t hours, int32_t minutes, int32_t seconds, char sign,
                  int32_t value);

    // The latest file's path; empty before the first creation or when no folder took it.
    const std::string& Path() const { return m_path; }

    // Takes other folders from the next creation on: for tests, which keep their logs in
    // folders of their own. Only while no receive thread runs.
    void SetFolders(std::vector<LogFolder> folders) { m_folders = std::move(folders); }

  private:
    void Create();
    void AppendRow(int32_t hours, int32_t minutes, int32_t seconds, char sign, int32_t value);
    bool CreateIn(const std::string& folder, const std::string& stem);

    LocalClock m_clock;
    std::vector<LogFolder> m_folders;
    // Written by Create and read by AppendRow, both on the receive thread only; the user
    // interface thread touches the log only while no receive thread runs.
    std::string m_path;
};

// Where the programs keep their logs: the program's folder, then the user's data folder.
std::vector<LogFolder> ProgramLogFolders();

// The program's log: the system clock and the program's folders.
MeasurementLog& ProcessMeasurementLog();

}  // namespace cyclara
