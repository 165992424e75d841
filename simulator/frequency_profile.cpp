#include "simulator/frequency_profile.h"

#include "record/record_file.h"
#include "record/utc_time.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace cyclara::simulator {

namespace {

// The time field of a line: seconds, or a UTC time, which the caller counts from the first.
std::optional<double> TimeOf(const std::string& field, bool& utc) {
    if (const std::optional<double> seconds = UtcSeconds(field)) {
        utc = true;
        return seconds;
    }
    double seconds = 0;
    int length = 0;
    if (std::sscanf(field.c_str(), "%lf%n", &seconds, &length) == 1 &&
        static_cast<size_t>(length) == field.size()) {
        return seconds;
    }
    return std::nullopt;
}

}  // namespace

bool FrequencyProfile::Add(double seconds, double hertz) {
    if (hertz <= 0 || (!m_points.empty() && seconds <= m_points.back().first)) {
        return false;
    }
    m_points.emplace_back(seconds, hertz);
    return true;
}

std::optional<FrequencyProfile> FrequencyProfile::ReadLines(
    const std::string& path, double (*hertz)(double value, double nominal), double nominalHz,
    std::string& whyNot) {
    std::ifstream file(path);
    if (!file) {
        whyNot = "cannot read " + path;
        return std::nullopt;
    }
    FrequencyProfile profile;
    std::optional<double> firstUtc;
    int number = 0;
    for (std::string line; std::getline(file, line);) {
        ++number;
        const size_t comma = line.find(',');
        double value = 0;
        bool utc = false;
        const std::optional<double> time =
            comma == std::string::npos ? std::nullopt : TimeOf(line.substr(0, comma), utc);
        if (line[0] == '#' || !time || std::sscanf(line.c_str() + comma + 1, "%lf", &value) != 1) {
            continue;
        }
        firstUtc = utc ? firstUtc.value_or(*time) : firstUtc;
        if (!profile.Add(utc ? *time - *firstUtc : *time, hertz(value, nominalHz))) {
            whyNot = path + " line " + std::to_string(number) +
                     ": times must rise and frequencies be positive";
            return std::nullopt;
        }
    }
    if (profile.m_points.empty()) {
        whyNot = path + " has no \"time,value\" line";
        return std::nullopt;
    }
    return profile;
}

std::optional<FrequencyProfile> FrequencyProfile::Read(const std::string& path,
                                                       std::string& whyNot) {
    return ReadLines(path, [](double hertz, double) { return hertz; }, 0, whyNot);
}

std::optional<FrequencyProfile> FrequencyProfile::ReadReplay(const std::string& path,
                                                             double nominalHz,
                                                             std::string& whyNot) {
    const ParsedRecord record = ReadRecordFile(path);
    if (!record.problem.empty()) {
        return ReadLines(
            path, [](double millihertz, double nominal) { return nominal + millihertz / 1000; },
            nominalHz, whyNot);
    }
    FrequencyProfile profile;
    for (const RecordRow& row : record.rows) {
        const double seconds =
            static_cast<double>(row.unixMilliseconds - record.rows.front().unixMilliseconds) / 1e3;
        if (row.frequency) {
            profile.Add(seconds, *row.frequency);  // a row out of order is passed over
        }
    }
    if (profile.m_points.empty()) {
        whyNot = path + " holds no reading to replay";
        return std::nullopt;
    }
    return profile;
}

double FrequencyProfile::HertzAt(double seconds) const {
    const auto after = std::upper_bound(
        m_points.begin(), m_points.end(), seconds,
        [](double time, const std::pair<double, double>& point) { return time < point.first; });
    if (after == m_points.begin()) {
        return m_points.front().second;
    }
    if (after == m_points.end()) {
        return m_points.back().second;
    }
    const auto& [t0, f0] = *std::prev(after);
    const auto& [t1, f1] = *after;
    return f0 + (f1 - f0) * (seconds - t0) / (t1 - t0);
}

}  // namespace cyclara::simulator
