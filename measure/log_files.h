// The few file-system services the measurement log needs from the platform.
#pragma once

#include <string>

namespace cyclara {

enum class CreateOutcome { kCreated, kExists, kFailed };

// Creates `path` as a new empty file, failing with kExists if anything is there already, so
// that an existing log is never emptied.
CreateOutcome CreateNewFile(const std::string& path);

// Appends `bytes` to the existing file `path` whole, or not at all: a write that fails part
// way (a full disk, a size limit) is cut back off, so the file only ever holds whole rows.
bool AppendWhole(const std::string& path, const std::string& bytes);

// Appends `rows` whole to `path`, making the file if there is none and beginning it with
// `header` (a line, without its end) whenever it is empty: a full disk lets a file be made
// but not written, and the rows written later must still follow a header.
bool AppendBegunWithHeader(const std::string& path, const std::string& header,
                           const std::string& rows);

// From now on every append fails as on a full disk, or no longer does; files are still made,
// empty, as a full disk lets them be. The way a test gives the writers a week of a full disk in
// moments. Any thread.
void SimulateFullDisk(bool full);
bool DiskSimulatedFull();

// The running program's folder, ending in a path separator; empty if it cannot be found.
std::string ProgramFolder();

// The user's own data folder for Cyclara, created if missing and ending in a path separator;
// empty if there is none. Logs go there when the program's folder is not writable.
std::string UserDataFolder();

}  // namespace cyclara
