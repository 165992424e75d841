/* Plays the clock the simulator was told to for a program cyclara-sim starts.
 * adjtimex: CYCLARA_CLOCK is "unsynchronised" (the kernel's flag and its 16 s maximum error) or
 * "synchronised:PPM" (a frequency correction of PPM). A read only: a call that would change the
 * clock goes to the real adjtimex, as does every call while CYCLARA_CLOCK is unset.
 * clock_gettime: CYCLARA_SLEW is "PPM:START:LENGTH", nanoseconds of CLOCK_MONOTONIC: from START
 * for LENGTH, CLOCK_MONOTONIC runs PPM fast, as while a time daemon slews an offset away;
 * CLOCK_MONOTONIC_RAW, the crystal, does not. CYCLARA_REALTIME_OFFSET is nanoseconds added to
 * CLOCK_REALTIME, so a run can cross a UTC midnight whenever it is made. */
#define _GNU_SOURCE
#include "modem_lines.h"

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <sys/timex.h>

typedef int (*AdjtimexFunction)(struct timex*);

static int Played(const char* state, struct timex* clock) {
    memset(clock, 0, sizeof *clock);
    if (strncmp(state, "synchronised:", 13) == 0) {
        clock->status = STA_PLL;
        clock->freq = (long)(strtod(state + 13, NULL) * 65536.0);
        clock->maxerror = 50000;
        return TIME_OK;
    }
    clock->status = STA_UNSYNC;
    clock->maxerror = 16000000;
    clock->esterror = 16000000;
    return TIME_ERROR;
}

int adjtimex(struct timex* clock) {
    const char* state = getenv(CYCLARA_CLOCK_VARIABLE);
    if (state != NULL && clock->modes == 0) {
        return Played(state, clock);
    }
    AdjtimexFunction real = (AdjtimexFunction)dlsym(RTLD_NEXT, "adjtimex");
    return real != NULL ? real(clock) : -1;
}

typedef int (*ClockGettimeFunction)(clockid_t, struct timespec*);

struct Slew {
    double ppm;
    long long start;
    long long length;
};

/* Parsed once; a program reads its clock from many threads, and each would parse the same. */
static const struct Slew* PlayedSlew(void) {
    static struct Slew slew;
    static int state; /* 0: not parsed, 1: parsed, none; 2: parsed, slewing */
    int seen = __atomic_load_n(&state, __ATOMIC_ACQUIRE);
    if (seen == 0) {
        const char* text = getenv(CYCLARA_SLEW_VARIABLE);
        struct Slew parsed = {0, 0, 0};
        seen = text != NULL && sscanf(text, "%lf:%lld:%lld", &parsed.ppm, &parsed.start,
                                      &parsed.length) == 3
                   ? 2
                   : 1;
        slew = parsed;
        __atomic_store_n(&state, seen, __ATOMIC_RELEASE);
    }
    return seen == 2 ? &slew : NULL;
}

/* Parsed once, as the slew. */
static long long PlayedRealtimeOffset(void) {
    static long long offset;
    static int state; /* 0: not parsed, 1: parsed */
    if (__atomic_load_n(&state, __ATOMIC_ACQUIRE) == 0) {
        const char* text = getenv(CYCLARA_REALTIME_OFFSET_VARIABLE);
        long long parsed = 0;
        offset = text != NULL && sscanf(text, "%lld", &parsed) == 1 ? parsed : 0;
        __atomic_store_n(&state, 1, __ATOMIC_RELEASE);
    }
    return offset;
}

static void Add(struct timespec* now, long long ns) {
    const long long played = (long long)now->tv_sec * 1000000000LL + now->tv_nsec + ns;
    now->tv_sec = (time_t)(played / 1000000000LL);
    now->tv_nsec = (long)(played % 1000000000LL);
}

int clock_gettime(clockid_t clock, struct timespec* now) {
    static ClockGettimeFunction real;
    ClockGettimeFunction function = __atomic_load_n(&real, __ATOMIC_ACQUIRE);
    if (function == NULL) {
        function = (ClockGettimeFunction)dlsym(RTLD_NEXT, "clock_gettime");
        __atomic_store_n(&real, function, __ATOMIC_RELEASE);
    }
    const int result = function(clock, now);
    const struct Slew* slew = clock == CLOCK_MONOTONIC && result == 0 ? PlayedSlew() : NULL;
    if (slew != NULL) {
        const long long ns = (long long)now->tv_sec * 1000000000LL + now->tv_nsec;
        long long slewed = ns - slew->start;
        slewed = slewed < 0 ? 0 : (slewed > slew->length ? slew->length : slewed);
        Add(now, (long long)((double)slewed * slew->ppm * 1e-6));
    }
    if (clock == CLOCK_REALTIME && result == 0) {
        Add(now, PlayedRealtimeOffset());
    }
    return result;
}
