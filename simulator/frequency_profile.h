// A grid's frequency over time, as a test or a demo wants it played: points of (seconds from
// the start, hertz), followed by straight lines between them and held beyond the ends.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cyclara::simulator {

class FrequencyProfile {
  public:
    // A CSV file of "time,hertz" lines in rising time, the time in seconds from the start or
    // as a UTC time ("2026-12-07 13:00:00" or "2026-12-07T13:00:00.5Z", counted from the
    // first line's); a header line and "#" lines are passed over. None, with `whyNot` set,
    // when it has no such line or one out of order.
    static std::optional<FrequencyProfile> Read(const std::string& path, std::string& whyNot);

    // A recording played back: cyclara-log's per-pulse record (its readings; compressed or
    // not), or a one-second file of the open power-grid-frequency database's layout ("UTC
    // time,deviation from `nominalHz` in mHz").
    static std::optional<FrequencyProfile> ReadReplay(const std::string& path, double nominalHz,
                                                      std::string& whyNot);

    double HertzAt(double seconds) const;

  private:
    // Lines of "time,value", the value turned into hertz by `hertz`.
    static std::optional<FrequencyProfile> ReadLines(const std::string& path,
                                                     double (*hertz)(double value, double nominal),
                                                     double nominalHz, std::string& whyNot);
    // False when the point does not follow the last in time.
    bool Add(double seconds, double hertz);

    std::vector<std::pair<double, double>> m_points;
};

}  // namespace cyclara::simulator
