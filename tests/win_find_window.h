// Finding another program's window from a Windows test helper.
#pragma once

#include <windows.h>

// Waits up to 30 s for a visible window of that class and title (either may be null), other
// than `notThis`; null if none appears.
inline HWND WaitForWindow(const char* className, const char* title, HWND notThis = nullptr) {
    for (int tries = 0; tries < 300; ++tries) {
        HWND found = FindWindowA(className, title);
        if (found != nullptr && found != notThis && IsWindowVisible(found)) {
            return found;
        }
        Sleep(100);
    }
    return nullptr;
}
