#include "measure/log_files.h"

#include <windows.h>

namespace cyclara {

CreateOutcome CreateNewFile(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return CreateOutcome::kCreated;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateOutcome::kExists
                                                                       : CreateOutcome::kFailed;
}

bool AppendWhole(const std::string& path, const std::string& bytes) {
    if (DiskSimulatedFull() && !bytes.empty()) {
        return false;
    }
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER before{};
    const bool sized = GetFileSizeEx(file, &before) != 0 &&
                       SetFilePointerEx(file, before, nullptr, FILE_BEGIN) != 0;
    DWORD written = 0;
    bool whole = sized &&
                 WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                           nullptr) != 0 &&
                 written == bytes.size();
    if (!whole && sized) {
        SetFilePointerEx(file, before, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
    }
    return CloseHandle(file) != 0 && whole;
}

std::string ProgramFolder() {
    char path[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    // A result that fills the buffer means the path was cut short.
    if (length == 0 || length >= sizeof path) {
        return "";
    }
    const std::string whole(path, length);
    return whole.substr(0, whole.find_last_of("\\/") + 1);
}

std::string UserDataFolder() {
    char base[MAX_PATH + 1];
    const DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", base, sizeof base);
    if (length == 0 || length >= sizeof base) {
        return "";
    }
    const std::string folder = std::string(base, length) + "\\Cyclara";
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return "";
    }
    return folder + "\\";
}

}  // namespace cyclara
