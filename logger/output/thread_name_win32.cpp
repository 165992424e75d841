#include "logger/output/thread_name.h"

#include "logger/wide_text.h"

#include <windows.h>

namespace cyclara::logger {

// SetThreadDescription came with Windows 10 1607: looked up, so older systems run unnamed.
void NameThisThread(const std::string& name) {
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto set = kernel != nullptr ? reinterpret_cast<SetDescription>(reinterpret_cast<void*>(
                                             GetProcAddress(kernel, "SetThreadDescription")))
                                       : nullptr;
    if (set != nullptr) {
        set(GetCurrentThread(), WideFromUtf8(name).c_str());
    }
}

}  // namespace cyclara::logger
