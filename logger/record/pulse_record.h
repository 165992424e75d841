// The per-pulse record's files: one CSV file per UTC day, named by the date, appended to in
// whole rows.
#pragma once

#include <string>

namespace cyclara::logger {

class PulseRecord {
  public:
    explicit PulseRecord(std::string folder);

    // Appends `row` whole to the file of the UTC day `date`, begun with the header when new
    // or gone. False when it could not be written whole; the file then holds what it held
    // before.
    bool Append(const std::string& date, const std::string& row);

    const std::string& Folder() const { return m_folder; }

  private:
    bool Open(const std::string& date);

    const std::string m_folder;
    std::string m_date;  // the day whose file is open, once one is
    std::string m_path;
};

}  // namespace cyclara::logger
