// The record for years: a day of one-second rows is about 8 MB of text and a year about 3 GB,
// so each day's file is compressed with zlib (gzip's format, which `zcat` and `zgrep` read)
// once the day is over. Readers take either form.
#pragma once

#include <cstddef>
#include <string>

namespace cyclara {

inline constexpr const char* kCompressedSuffix = ".gz";

// "DATE.csv" (or "DATE-2.csv") becomes "DATE.csv.gz", whole or not at all; a file of the day
// compressed before (rows that came late, after a clock stepped back) is added to as a further
// gzip member, which every reader reads on. False, with the reason, when it could not be done;
// the text file is then left as it was.
bool CompressDayFile(const std::string& path, std::string& whyNot);

// Every day's file in `folder` (a path ending in a separator) before `today`
// ("2026-12-08") that is still text.
void CompressDaysBefore(const std::string& folder, const std::string& today);

// The text of a record file, compressed or not; false when it cannot be read, or its text
// would pass `limit` bytes.
bool ReadDayText(const std::string& path, size_t limit, std::string& text);

}  // namespace cyclara
