/* The shared-memory block through which a test drives the modem lines of pseudo-terminals,
 * which have none of their own. Read by the ioctl interposer in the process under test (the
 * test itself, or wine64), written by the test. Every field is accessed with atomic builtins. */
#ifndef CYCLARA_MODEM_LINES_H
#define CYCLARA_MODEM_LINES_H

#include <stdint.h>

#define CYCLARA_MODEM_LINES_VARIABLE "CYCLARA_MODEM_LINES"
#define CYCLARA_DEVICE_REDIRECT_VARIABLE "CYCLARA_DEVICE_REDIRECT"
#define CYCLARA_CLOCK_VARIABLE "CYCLARA_CLOCK"
#define CYCLARA_SLEW_VARIABLE "CYCLARA_SLEW"
#define CYCLARA_REALTIME_OFFSET_VARIABLE "CYCLARA_REALTIME_OFFSET"
#define CYCLARA_MODEM_LINES_MAGIC 0x4d4c4e53u
#define CYCLARA_MODEM_LINES_SLOTS 8

struct EmulatedLine {
    uint64_t rdev;     /* the pty slave's device number; 0 marks a free slot */
    uint32_t sequence; /* futex word, bumped after every change */
    uint32_t lines;    /* TIOCM_* bits: DSR, CTS, CD, RI from the device, DTR and RTS */
    uint32_t dsrCount; /* transitions, as TIOCGICOUNT counts them */
    uint32_t ctsCount;
    uint32_t dcdCount;
    uint32_t rngCount;
    uint32_t removed;        /* the device is gone: modem ioctls fail with EIO */
    uint32_t noWait;         /* a driver without TIOCMIWAIT and TIOCGICOUNT */
    uint32_t waitEntries;    /* TIOCMIWAIT calls so far */
    uint32_t statusReads;    /* TIOCMGET calls since the slot was attached */
    int64_t edgeNanoseconds; /* CLOCK_MONOTONIC read just before the latest change was published */
    /* A fault seam: of the calls of modem request faultRequest since it was set, those after
     * the first faultAfter fail with faultErrno, faultCount of them. */
    uint32_t faultRequest;
    uint32_t faultCalls;
    uint32_t faultAfter;
    uint32_t faultCount;
    uint32_t faultErrno;
    uint32_t stallMilliseconds; /* each TIOCMGET first takes this long, deaf to signals */
    /* When the process under test first learnt of a change: the return of its wait, or its
     * first status read since. Its timestamps are compared with these, which a late wake-up
     * on a busy machine moves too, and not with the edges. The time is stored right after the
     * sequence it belongs to, and read a pulse width later. */
    int64_t seenNanoseconds;
    uint32_t seenSequence;
    uint32_t padding;
    /* The same for DCD alone, which a reference second drives from a thread of its own: when a
     * wait on DCD first returned after the change that made dcdCount dcdSeenCount. */
    int64_t dcdSeenNanoseconds;
    uint32_t dcdSeenCount;
    uint32_t dcdPadding;
};

struct ModemLinesBlock {
    uint32_t magic;
    uint32_t reserved;
    struct EmulatedLine slots[CYCLARA_MODEM_LINES_SLOTS];
};

#endif
