#include "logger/folder_lock.h"

#include "logger/wide_text.h"

#include <windows.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace cyclara::logger {

namespace {

class HeldFile : public FolderLock {
  public:
    explicit HeldFile(HANDLE file) : m_file(file) {}
    ~HeldFile() override { CloseHandle(m_file); }

  private:
    const HANDLE m_file;
};

// What the holder wrote (its process id), read through the share it leaves: reading.
std::string LockText(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "";
    }
    char text[32] = {};
    DWORD got = 0;
    ReadFile(file, text, sizeof text - 1, &got, nullptr);
    CloseHandle(file);
    return std::string(text, got);
}

}  // namespace

// Held open for writing with no one else allowed to write: a second logger's open fails with
// a sharing violation until this process ends.
std::unique_ptr<FolderLock> LockFolder(const std::string& folder, std::string& whyNot) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(WideFromUtf8(folder)), ignored);
    const std::wstring path = WideFromUtf8(folder + "\\" + kLockFileName);
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_SHARING_VIOLATION) {
            whyNot = HeldByAnother(folder, LockText(path));
        } else {
            whyNot = folder + " cannot be locked for this logger (error " +
                     std::to_string(GetLastError()) + ")";
        }
        return nullptr;
    }
    const std::string pid = std::to_string(GetCurrentProcessId()) + "\r\n";
    DWORD written = 0;
    SetEndOfFile(file);
    WriteFile(file, pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr);
    return std::make_unique<HeldFile>(file);
}

}  // namespace cyclara::logger
