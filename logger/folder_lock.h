// A record folder belongs to one logger at a time: two would interleave their devices' rows in
// one day file and overwrite each other's epoch. The lock is the kernel's, so it goes with the
// process, however it ends.
#pragma once

#include <memory>
#include <string>

namespace cyclara::logger {

class FolderLock {
  public:
    virtual ~FolderLock() = default;
};

inline constexpr const char* kLockFileName = ".cyclara-log.lock";
// The exit code when the folder is another logger's: starting again cannot help, so the
// service unit does not restart on it.
inline constexpr int kExitFolderHeld = 4;

// The lock of `folder`, which is made if missing; none, with `whyNot` a sentence naming the
// folder and the process that holds it (or why it cannot be taken).
std::unique_ptr<FolderLock> LockFolder(const std::string& folder, std::string& whyNot);

// The sentence for a folder held by another logger, from what its lock file holds (the
// holder's process id and a line end, or nothing yet).
std::string HeldByAnother(const std::string& folder, std::string lockText);

}  // namespace cyclara::logger
