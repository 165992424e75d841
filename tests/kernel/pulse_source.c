/* A measuring device on the gadget side of a USB serial loopback: each period it opens the
 * gadget's tty, which raises DSR on the host's ttyACM, sends the frequency line, holds for the
 * pulse width, and closes, which drops DSR. Deadlines are absolute, so a late wake does not
 * shift the pulses after it. With RISES_FILE it writes there the CLOCK_MONOTONIC nanoseconds
 * at which each open returned, what the test compares the logger's intervals with: a guest
 * under emulation wakes late by milliseconds.
 * Usage: pulse_source DEVICE PERIOD_S WIDTH_S COUNT [RISES_FILE] */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

static struct timespec Plus(struct timespec at, double seconds) {
    long long ns = at.tv_nsec + (long long)(seconds * 1e9);
    at.tv_sec += (time_t)(ns / 1000000000);
    at.tv_nsec = (long)(ns % 1000000000);
    return at;
}

static void SleepUntil(struct timespec at) {
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, NULL) != 0) {
    }
}

static long long NowNs(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000000000 + now.tv_nsec;
}

static int Pulse(const char* device, struct timespec rise, double width, FILE* rises) {
    SleepUntil(rise);
    int fd = open(device, O_RDWR | O_NOCTTY);
    if (fd < 0) {
        perror(device);
        return -1;
    }
    if (rises) {
        fprintf(rises, "%lld\n", NowNs());
    }
    struct termios raw;
    if (tcgetattr(fd, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(fd, TCSANOW, &raw);
    }
    static const char kLine[] = "60Hz\r\n";
    if (write(fd, kLine, strlen(kLine)) < 0) {
        perror("write");
    }
    SleepUntil(Plus(rise, width));
    close(fd);
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        fprintf(stderr, "usage: pulse_source DEVICE PERIOD_S WIDTH_S COUNT [RISES_FILE]\n");
        return 2;
    }
    FILE* rises = argc == 6 ? fopen(argv[5], "w") : NULL;
    if (argc == 6 && !rises) {
        perror(argv[5]);
        return 1;
    }
    if (rises) {
        setvbuf(rises, NULL, _IOLBF, 0);  /* the test ends it with a signal */
    }
    int code = 0;
    const double period = atof(argv[2]);
    const double width = atof(argv[3]);
    const long count = atol(argv[4]);
    struct timespec rise;
    clock_gettime(CLOCK_MONOTONIC, &rise);
    for (long n = 0; n < count; ++n) {
        rise = Plus(rise, period);
        if (Pulse(argv[1], rise, width, rises) != 0) {
            code = 1;
            break;
        }
    }
    if (rises) {
        fclose(rises);
    }
    return code;
}
