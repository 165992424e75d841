#include "logger/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace cyclara::logger {

namespace {

class FlockedFile : public FolderLock {
  public:
    explicit FlockedFile(int fd) : m_fd(fd) {}
    ~FlockedFile() override { close(m_fd); }

  private:
    const int m_fd;
};

// What the holder wrote: its process id, or nothing yet.
std::string LockText(int fd) {
    char text[32] = {};
    const ssize_t got = pread(fd, text, sizeof text - 1, 0);
    return std::string(text, got > 0 ? static_cast<size_t>(got) : 0);
}

}  // namespace

std::unique_ptr<FolderLock> LockFolder(const std::string& folder, std::string& whyNot) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::string path = folder + "/" + kLockFileName;
    // Never waits on what a user put there: no link is followed, and a pipe does not block.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    struct stat status {};
    if (fd < 0 || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        whyNot = folder + " cannot be locked for this logger (" + path + ": " +
                 (fd < 0 ? std::strerror(errno) : "not a file") + ")";
        if (fd >= 0) {
            close(fd);
        }
        return nullptr;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        whyNot = HeldByAnother(folder, LockText(fd));
        close(fd);
        return nullptr;
    }
    // Without the id the lock holds all the same; a second logger only cannot name this one.
    const std::string pid = std::to_string(getpid()) + "\n";
    [[maybe_unused]] const bool named =
        ftruncate(fd, 0) == 0 && pwrite(fd, pid.data(), pid.size(), 0) > 0;
    return std::make_unique<FlockedFile>(fd);
}

}  // namespace cyclara::logger
