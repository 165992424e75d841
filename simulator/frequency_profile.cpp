#include "simulator/frequency_profile.h"

#include <cstdio>
#include <fstream>

namespace cyclara::simulator {

std::optional<FrequencyProfile> FrequencyProfile::Read(const std::string& path,
                                                       std::string& whyNot) {
    std::ifstream file(path);
    if (!file) {
        whyNot = "cannot read the profile " + path;
        return std::nullopt;
    }
    FrequencyProfile profile;
    int number = 0;
    for (std::string line; std::getline(file, line);) {
        ++number;
        double seconds = 0, hertz = 0;
        if (line.empty() || line[0] == '#' || std::sscanf(line.c_str(), "%lf,%lf", &seconds,
                                                          &hertz) != 2) {
            continue;
        }
        if (hertz <= 0 || (!profile.m_points.empty() && seconds <= profile.m_points.back().first)) {
            whyNot = path + " line " + std::to_string(number) +
                     ": times must rise and frequencies be positive";
            return std::nullopt;
        }
        profile.m_points.emplace_back(seconds, hertz);
    }
    if (profile.m_points.empty()) {
        whyNot = path + " has no \"seconds,hertz\" line";
        return std::nullopt;
    }
    return profile;
}

double FrequencyProfile::HertzAt(double seconds) const {
    if (seconds <= m_points.front().first) {
        return m_points.front().second;
    }
    for (size_t i = 1; i < m_points.size(); ++i) {
        const auto& [t1, f1] = m_points[i];
        if (seconds <= t1) {
            const auto& [t0, f0] = m_points[i - 1];
            return f0 + (f1 - f0) * (seconds - t0) / (t1 - t0);
        }
    }
    return m_points.back().second;
}

}  // namespace cyclara::simulator
