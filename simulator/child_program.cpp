#include "simulator/child_program.h"

#include "simulator/modem_lines.h"
#include "simulator/run_signals.h"
#include "record/utc_time.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace cyclara::simulator {

namespace {

// Where the emulation library lies, in the folder that the dynamic loader's $LIB names for
// the started program's architecture (lib/x86_64-linux-gnu on Debian), left for the loader to
// expand, so that a 32-bit program finds its own copy: in the build, under this program's
// folder; installed, in the architecture's library folder beside bin/.
std::string PreloadLibrary() {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return "$LIB/cyclara/libcyclara_modem.so";
    }
    const std::string path(self, static_cast<size_t>(length));
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    struct stat built {};
    if (stat((folder + "lib").c_str(), &built) == 0 && S_ISDIR(built.st_mode)) {
        return folder + "$LIB/libcyclara_modem.so";
    }
    return folder + "../$LIB/cyclara/libcyclara_modem.so";
}

}  // namespace

void ExportForChild(const std::string& as, const std::string& slave) {
    const char* preload = std::getenv("LD_PRELOAD");
    std::string libraries = PreloadLibrary();
    if (preload != nullptr && *preload != '\0') {
        libraries += std::string(":") + preload;
    }
    setenv("LD_PRELOAD", libraries.c_str(), 1);
    setenv(CYCLARA_DEVICE_REDIRECT_VARIABLE, (as + "=" + slave).c_str(), 1);
    setenv("CYCLARA_SIM_PTY", slave.c_str(), 1);
}

bool ExportSlew(const std::string& slew) {
    if (slew.empty()) {
        return true;
    }
    double ppm = 0, after = 0, length = 0;
    char end = '\0';
    if (std::sscanf(slew.c_str(), "%lf:%lf:%lf%c", &ppm, &after, &length, &end) != 3 ||
        after < 0 || length < 0) {
        return false;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long start = static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec +
                            std::llround(after * 1e9);
    const std::string played = std::to_string(ppm) + ":" + std::to_string(start) + ":" +
                               std::to_string(std::llround(length * 1e9));
    setenv(CYCLARA_SLEW_VARIABLE, played.c_str(), 1);
    return true;
}

bool ExportUtcStart(const std::string& utc) {
    if (utc.empty()) {
        return true;
    }
    const std::optional<double> seconds = UtcSeconds(utc);
    if (!seconds) {
        return false;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const long long offset = std::llround(*seconds * 1e9) -
                             (static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec);
    setenv(CYCLARA_REALTIME_OFFSET_VARIABLE, std::to_string(offset).c_str(), 1);
    return true;
}

pid_t StartChild(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[0], argv.data());
        std::fprintf(stderr, "cyclara-sim: cannot start %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    return child;
}

int FinishChild(pid_t child) {
    if (child <= 0) {
        return 0;
    }
    int status = 0;
    bool forwarded = false;
    for (;;) {
        if (StopSignal() != 0 && !forwarded) {
            kill(child, SIGTERM);
            forwarded = true;
        }
        const pid_t ended = waitpid(child, &status, 0);
        if (ended == child) {
            break;
        }
        if (ended < 0 && errno != EINTR) {
            return 1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace cyclara::simulator
