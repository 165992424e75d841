#include "measure/counter.h"
#include "measure/wall_clock.h"

#include <windows.h>

namespace cyclara {

namespace {

using ReadFileTime = void(WINAPI*)(FILETIME*);

// The precise clock where Windows has it (8 and later); the tick-resolution one before.
ReadFileTime SystemClock() {
    static const ReadFileTime clock = [] {
        const HMODULE kernel = GetModuleHandleA("kernel32.dll");
        const FARPROC precise =
            kernel != nullptr ? GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime") : nullptr;
        // Through void (*)(), the type that stands for any function.
        return precise != nullptr
                   ? reinterpret_cast<ReadFileTime>(reinterpret_cast<void (*)()>(precise))
                   : &GetSystemTimeAsFileTime;
    }();
    return clock;
}

// 100 ns units from 1601 to 1970.
constexpr int64_t kUnixEpochInFileTime = 116'444'736'000'000'000;

}  // namespace

WallPairing ReadWallPairing() {
    return TightestPairing(ReadCounter, [] {
        FILETIME now{};
        SystemClock()(&now);
        const int64_t units = (static_cast<int64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) -
                              kUnixEpochInFileTime;
        return units * 100;
    });
}

}  // namespace cyclara
