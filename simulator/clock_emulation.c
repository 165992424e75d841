/* Interposes adjtimex so that a program cyclara-sim starts sees the clock state the simulator
 * was told to play: CYCLARA_CLOCK is "unsynchronised" (the kernel's flag and its 16 s maximum
 * error) or "synchronised:PPM" (a frequency correction of PPM). A read only: a call that would
 * change the clock goes to the real adjtimex, as does every call while CYCLARA_CLOCK is unset. */
#define _GNU_SOURCE
#include "modem_lines.h"

#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>
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
