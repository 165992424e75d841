/* Interposes ioctl so that pseudo-terminal slaves named in the shared block answer the modem
 * requests a serial driver answers: TIOCMGET, TIOCMSET, TIOCMBIS, TIOCMBIC, TIOCGICOUNT and
 * TIOCMIWAIT, which blocks until a watched line changes and, like the kernel's, ends with EINTR
 * when a signal whose handler lacks SA_RESTART arrives. Everything else goes to the real ioctl.
 * Also redirects the opening of one device path to the simulator's pty, so that a program
 * started by cyclara-sim runs its own port naming and open path unchanged.
 * Linked into a test program, or loaded into another one with LD_PRELOAD. */
#define _GNU_SOURCE
#include "modem_lines.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

/* 32-bit and 64-bit programs share the block: its 64-bit fields must lie where both put them. */
_Static_assert(offsetof(struct EmulatedLine, edgeNanoseconds) == 48 &&
                   offsetof(struct EmulatedLine, seenNanoseconds) == 80 &&
                   offsetof(struct EmulatedLine, dcdSeenNanoseconds) == 96 &&
                   sizeof(struct EmulatedLine) == 112 &&
                   offsetof(struct ModemLinesBlock, slots) == 8,
               "the shared block has one layout in 32-bit and 64-bit programs");

typedef int (*IoctlFunction)(int, unsigned long, ...);
typedef int (*OpenFunction)(const char*, int, ...);

static struct ModemLinesBlock* Block(void) {
    static struct ModemLinesBlock* block;
    struct ModemLinesBlock* mapped = __atomic_load_n(&block, __ATOMIC_ACQUIRE);
    if (mapped != NULL) {
        return mapped;
    }
    const char* path = getenv(CYCLARA_MODEM_LINES_VARIABLE);
    if (path == NULL) {
        return NULL;
    }
    int fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return NULL;
    }
    void* memory = mmap(NULL, sizeof *mapped, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (memory == MAP_FAILED) {
        return NULL;
    }
    mapped = memory;
    if (__atomic_load_n(&mapped->magic, __ATOMIC_ACQUIRE) != CYCLARA_MODEM_LINES_MAGIC) {
        munmap(memory, sizeof *mapped);
        return NULL;
    }
    struct ModemLinesBlock* expected = NULL;
    if (!__atomic_compare_exchange_n(&block, &expected, mapped, 0, __ATOMIC_ACQ_REL,
                                     __ATOMIC_ACQUIRE)) {
        munmap(memory, sizeof *mapped);
        return expected;
    }
    return mapped;
}

static struct EmulatedLine* LineOf(int fd) {
    struct ModemLinesBlock* block = Block();
    struct stat status;
    if (block == NULL || fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) {
        return NULL;
    }
    for (int i = 0; i < CYCLARA_MODEM_LINES_SLOTS; ++i) {
        if (__atomic_load_n(&block->slots[i].rdev, __ATOMIC_ACQUIRE) == status.st_rdev) {
            return &block->slots[i];
        }
    }
    return NULL;
}

static uint32_t Load(uint32_t* field) {
    return __atomic_load_n(field, __ATOMIC_ACQUIRE);
}

static int Fail(int error) {
    errno = error;
    return -1;
}

/* The transitions counted on the lines of `mask` so far. */
static uint64_t CountsOf(struct EmulatedLine* line, unsigned long mask) {
    uint64_t counts = 0;
    if (mask & TIOCM_DSR)
        counts += Load(&line->dsrCount);
    if (mask & TIOCM_CTS)
        counts += (uint64_t)Load(&line->ctsCount) << 16;
    if (mask & TIOCM_CD)
        counts += (uint64_t)Load(&line->dcdCount) << 32;
    if (mask & TIOCM_RNG)
        counts += (uint64_t)Load(&line->rngCount) << 48;
    return counts;
}

static void MarkSeen(struct EmulatedLine* line, uint32_t sequence) {
    uint32_t seen = Load(&line->seenSequence);
    if (seen != sequence && __atomic_compare_exchange_n(&line->seenSequence, &seen, sequence, 0,
                                                        __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        __atomic_store_n(&line->seenNanoseconds, (int64_t)now.tv_sec * 1000000000 + now.tv_nsec,
                         __ATOMIC_RELEASE);
    }
}

static void MarkDcdSeen(struct EmulatedLine* line) {
    const uint32_t count = Load(&line->dcdCount);
    uint32_t seen = Load(&line->dcdSeenCount);
    if (seen != count && __atomic_compare_exchange_n(&line->dcdSeenCount, &seen, count, 0,
                                                     __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        __atomic_store_n(&line->dcdSeenNanoseconds,
                         (int64_t)now.tv_sec * 1000000000 + now.tv_nsec, __ATOMIC_RELEASE);
    }
}

static int WaitForChange(struct EmulatedLine* line, unsigned long mask) {
    /* Counted before the snapshot: a test that sees the entry knows the wait started after it. */
    __atomic_fetch_add(&line->waitEntries, 1, __ATOMIC_ACQ_REL);
    const uint64_t start = CountsOf(line, mask);
    int result = 0;
    for (;;) {
        const uint32_t sequence = Load(&line->sequence);
        if (Load(&line->removed)) {
            result = Fail(EIO);
            break;
        }
        if (CountsOf(line, mask) != start) {
            if (mask & TIOCM_CD)
                MarkDcdSeen(line);
            else
                MarkSeen(line, sequence);
            break;
        }
        if (syscall(SYS_futex, &line->sequence, FUTEX_WAIT, sequence, NULL, NULL, 0) != 0 &&
            errno == EINTR) {
            result = -1;
            break;
        }
    }
    return result;
}

static int CountTransitions(struct EmulatedLine* line, struct serial_icounter_struct* counts) {
    memset(counts, 0, sizeof *counts);
    counts->dsr = (int)Load(&line->dsrCount);
    counts->cts = (int)Load(&line->ctsCount);
    counts->dcd = (int)Load(&line->dcdCount);
    counts->rng = (int)Load(&line->rngCount);
    return 0;
}

static int SetProgramLines(struct EmulatedLine* line, unsigned long request, int bits) {
    const uint32_t own = TIOCM_DTR | TIOCM_RTS;
    uint32_t lines = Load(&line->lines);
    uint32_t next;
    do {
        next = request == TIOCMBIS   ? lines | (bits & own)
               : request == TIOCMBIC ? lines & ~(bits & own)
                                     : (lines & ~own) | (bits & own);
    } while (!__atomic_compare_exchange_n(&line->lines, &lines, next, 0, __ATOMIC_ACQ_REL,
                                          __ATOMIC_ACQUIRE));
    return 0;
}

static int Faulted(struct EmulatedLine* line, unsigned long request) {
    if (Load(&line->faultRequest) != request) {
        return 0;
    }
    const uint32_t call = __atomic_add_fetch(&line->faultCalls, 1, __ATOMIC_ACQ_REL);
    const uint32_t after = Load(&line->faultAfter);
    return call > after && call - after <= Load(&line->faultCount);
}

/* Like a USB adapter answering by a control transfer: no signal shortens it. */
static void Stall(struct EmulatedLine* line) {
    const uint32_t milliseconds = Load(&line->stallMilliseconds);
    struct timespec left = {milliseconds / 1000, (long)(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

static int Emulate(struct EmulatedLine* line, unsigned long request, void* argument) {
    if (Load(&line->removed)) {
        return Fail(EIO);
    }
    if (Faulted(line, request)) {
        return Fail((int)Load(&line->faultErrno));
    }
    switch (request) {
        case TIOCMGET:
            __atomic_fetch_add(&line->statusReads, 1, __ATOMIC_ACQ_REL);
            Stall(line);
            MarkSeen(line, Load(&line->sequence));
            *(int*)argument = (int)Load(&line->lines);
            return 0;
        case TIOCMSET:
        case TIOCMBIS:
        case TIOCMBIC:
            return SetProgramLines(line, request, *(int*)argument);
        case TIOCGICOUNT:
            return Load(&line->noWait) ? Fail(ENOTTY) : CountTransitions(line, argument);
        case TIOCMIWAIT:
            return Load(&line->noWait) ? Fail(ENOTTY)
                                       : WaitForChange(line, (unsigned long)argument);
        default:
            return Fail(ENOTTY);
    }
}

static int IsModemRequest(unsigned long request) {
    return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS ||
           request == TIOCMBIC || request == TIOCGICOUNT || request == TIOCMIWAIT;
}

/* `real` caches the next definition of `name`, which serves everything not emulated. */
static int Interpose(IoctlFunction* real, const char* name, int fd, unsigned long request,
                     void* argument) {
    if (IsModemRequest(request)) {
        struct EmulatedLine* line = LineOf(fd);
        if (line != NULL) {
            return Emulate(line, request, argument);
        }
    }
    if (*real == NULL) {
        *real = (IoctlFunction)dlsym(RTLD_NEXT, name);
    }
    return *real != NULL ? (*real)(fd, request, argument) : Fail(ENOSYS);
}

#define CYCLARA_INTERPOSED_IOCTL(name)                              \
    int name(int fd, unsigned long request, ...) {                  \
        static IoctlFunction real;                                  \
        va_list arguments;                                          \
        va_start(arguments, request);                               \
        void* argument = va_arg(arguments, void*);                  \
        va_end(arguments);                                          \
        return Interpose(&real, #name, fd, request, argument);      \
    }

CYCLARA_INTERPOSED_IOCTL(ioctl)
/* The name 32-bit programs built with a 64-bit time_t call (32-bit wine among them); unused,
 * and harmless, in a 64-bit program. */
CYCLARA_INTERPOSED_IOCTL(__ioctl_time64)

static int IsSerialDevice(const char* path) {
    static const char* const kFamilies[] = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM"};
    for (size_t i = 0; i < sizeof kFamilies / sizeof kFamilies[0]; ++i) {
        if (strncmp(path, kFamilies[i], strlen(kFamilies[i])) == 0) {
            return 1;
        }
    }
    return 0;
}

/* CYCLARA_DEVICE_REDIRECT is "FROM=TO": opening exactly FROM opens TO instead, and the
 * machine's other serial devices are not there, so a wrong choice of port can never reach a
 * real one (on many machines /dev/ttyS0 is the console). NULL means "no such device". */
static const char* Redirected(const char* path) {
    const char* rule = getenv(CYCLARA_DEVICE_REDIRECT_VARIABLE);
    const char* equals = rule != NULL ? strchr(rule, '=') : NULL;
    if (path == NULL || equals == NULL) {
        return path;
    }
    const size_t length = (size_t)(equals - rule);
    if (strlen(path) == length && strncmp(path, rule, length) == 0) {
        return equals + 1;
    }
    return IsSerialDevice(path) ? NULL : path;
}

static int ForwardOpen(const char* name, const char* path, int flags, mode_t mode) {
    OpenFunction real = (OpenFunction)dlsym(RTLD_NEXT, name);
    const char* opened = Redirected(path);
    if (real == NULL) {
        return Fail(ENOSYS);
    }
    return opened != NULL ? real(opened, flags, mode) : Fail(ENOENT);
}

static int NeedsMode(int flags) {
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

/* open and open64 alike: the mode argument is there only when the flags create a file. */
#define CYCLARA_REDIRECTING_OPEN(name)                                        \
    int name(const char* path, int flags, ...) {                              \
        va_list arguments;                                                    \
        va_start(arguments, flags);                                           \
        const mode_t mode = NeedsMode(flags) ? va_arg(arguments, mode_t) : 0; \
        va_end(arguments);                                                    \
        return ForwardOpen(#name, path, flags, mode);                         \
    }

CYCLARA_REDIRECTING_OPEN(open)
CYCLARA_REDIRECTING_OPEN(open64)
