#include "measure/wall_clock.h"

#include "measure/tick_scaling.h"
#include "measure/time_spans.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>

namespace cyclara {

namespace {

using UnixTime = std::chrono::sys_time<std::chrono::nanoseconds>;

UnixTime TimeOf(int64_t unixNanoseconds) {
    return UnixTime(std::chrono::nanoseconds(unixNanoseconds));
}

// "2026-12-07" at the start of `text`, which holds `size` characters; how many it wrote.
size_t WriteDate(std::chrono::sys_days day, char* text, size_t size) {
    const std::chrono::year_month_day date(day);
    const int written =
        std::snprintf(text, size, "%04d-%02u-%02u", static_cast<int>(date.year()),
                      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return std::min(static_cast<size_t>(std::max(written, 0)), size - 1);
}

}  // namespace

WallPairing TightestPairing(const std::function<int64_t()>& readCounter,
                            const std::function<int64_t()>& readRealtime) {
    constexpr int kTries = 5;
    WallPairing tightest;
    int64_t narrowest = INT64_MAX;
    for (int i = 0; i < kTries; ++i) {
        const int64_t before = readCounter();
        const int64_t realtime = readRealtime();
        const int64_t after = readCounter();
        if (after - before < narrowest) {
            narrowest = after - before;
            tightest = {realtime, before + (after - before) / 2};
        }
    }
    return tightest;
}

int64_t UnixNanosecondsOf(int64_t ticks, const WallPairing& pairing, int64_t counterFrequency) {
    return pairing.unixNanoseconds +
           ScaleTicks(ticks - pairing.ticks, counterFrequency, kSecondNs);
}

std::string FormatUtc(int64_t unixNanoseconds) {
    const UnixTime time = TimeOf(unixNanoseconds);
    const auto day = std::chrono::floor<std::chrono::days>(time);
    const std::chrono::hh_mm_ss clock(
        std::chrono::floor<std::chrono::microseconds>(time - day));
    // Written in place, date and time, into one buffer: each row of the record has one, so a
    // replay has a year of them.
    char text[48];
    const size_t date = WriteDate(day, text, sizeof text);
    std::snprintf(text + date, sizeof text - date, "T%02d:%02d:%02d.%06lldZ",
                  static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()),
                  static_cast<long long>(clock.subseconds().count()));
    return text;
}

std::string UtcDate(int64_t unixNanoseconds) {
    char text[16];
    WriteDate(std::chrono::floor<std::chrono::days>(TimeOf(unixNanoseconds)), text, sizeof text);
    return text;
}

}  // namespace cyclara
