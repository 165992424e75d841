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
    // A CSV file of "seconds,hertz" lines in rising time (a header line and "#" lines are
    // passed over); none, with `whyNot` set, when it has no such line or one out of order.
    static std::optional<FrequencyProfile> Read(const std::string& path, std::string& whyNot);

    double HertzAt(double seconds) const;

  private:
    std::vector<std::pair<double, double>> m_points;
};

}  // namespace cyclara::simulator
