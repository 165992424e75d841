#include "logger/mqtt/name_claim.h"

#include "logger/wide_text.h"

#include <windows.h>

namespace cyclara::logger {

namespace {

// A named mutex in the session's namespace: Windows closes the handle when the process ends,
// however it ends, and no file is left behind for a later run to mistake for a holder.
class NamedMutexClaim : public NameClaim {
  public:
    explicit NamedMutexClaim(HANDLE mutex) : m_mutex(mutex) {}
    ~NamedMutexClaim() override { CloseHandle(m_mutex); }
    NamedMutexClaim(const NamedMutexClaim&) = delete;
    NamedMutexClaim& operator=(const NamedMutexClaim&) = delete;

  private:
    const HANDLE m_mutex;
};

}  // namespace

std::unique_ptr<NameClaim> ClaimName(const std::string& name) {
    // A kernel object's name takes no backslash after its namespace.
    std::wstring key = WideFromUtf8("Local\\cyclara-log-meter-");
    for (const wchar_t c : WideFromUtf8(name)) {
        key += c == L'\\' ? L'/' : c;
    }
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, key.c_str());
    if (mutex == nullptr) {
        return nullptr;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return nullptr;
    }
    return std::make_unique<NamedMutexClaim>(mutex);
}

}  // namespace cyclara::logger
