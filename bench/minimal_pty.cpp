// The baseline for cyclara-log's start-up and memory: a C++ program that opens a serial
// device, says so on standard error and waits to be ended.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    const int fd = argc == 2 ? open(argv[1], O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
    if (fd < 0) {
        std::perror("minimal_pty");
        return 1;
    }
    std::fprintf(stderr, "minimal_pty: ready\n");
    pause();
    close(fd);
    return 0;
}
