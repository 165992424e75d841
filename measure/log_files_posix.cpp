#include "measure/log_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

#include <string_view>

namespace cyclara {

namespace {

// mkdir -p with mode 0700: the data folder is the user's own.
bool MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// write() may take part of the bytes (a disk filling up); the rest is asked for again until
// it takes none.
bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

CreateOutcome CreateNewFile(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
        close(fd);
        return CreateOutcome::kCreated;
    }
    return errno == EEXIST ? CreateOutcome::kExists : CreateOutcome::kFailed;
}

bool AppendWhole(const std::string& path, const std::string& bytes) {
    if (DiskSimulatedFull() && !bytes.empty()) {
        return false;
    }
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat before {};
    const bool sized = fstat(fd, &before) == 0;
    const bool whole = sized && WriteAll(fd, bytes);
    if (!whole && sized) {
        [[maybe_unused]] const int cut = ftruncate(fd, before.st_size);
    }
    return close(fd) == 0 && whole;
}

std::string ProgramFolder() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || length >= static_cast<ssize_t>(sizeof path)) {
        return "";
    }
    const std::string_view whole(path, static_cast<size_t>(length));
    return std::string(whole.substr(0, whole.rfind('/') + 1));
}

std::string UserDataFolder() {
    std::string base = EnvironmentValue("XDG_DATA_HOME");
    // The XDG rules ignore a relative XDG_DATA_HOME.
    if (base.empty() || base.front() != '/') {
        const std::string home = EnvironmentValue("HOME");
        if (home.empty()) {
            return "";
        }
        base = home + "/.local/share";
    }
    const std::string folder = base + "/cyclara";
    return MakeFolders(folder) ? folder + "/" : "";
}

}  // namespace cyclara
