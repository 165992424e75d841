// Posts a menu or button command to a window of another program, found by its title, once
// that window is shown: win_post_command TITLE COMMAND_ID (0 only waits for the window).
// Waits up to 30 s; exits 1 if no such window appears.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>

int main() {
    int argc = 0;
    // The wide command line, so that a Japanese title survives any code page.
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 3) {
        std::fprintf(stderr, "usage: win_post_command TITLE COMMAND_ID\n");
        return 2;
    }
    const auto command = static_cast<WPARAM>(std::wcstoul(argv[2], nullptr, 10));
    int status = 1;
    for (int tries = 0; tries < 300 && status == 1; ++tries) {
        const HWND window = FindWindowW(nullptr, argv[1]);
        if (window != nullptr && IsWindowVisible(window)) {
            status = command == 0 || PostMessageW(window, WM_COMMAND, command, 0) ? 0 : 1;
            break;
        }
        Sleep(100);
    }
    if (status != 0) {
        std::fprintf(stderr, "win_post_command: no window to post to\n");
    }
    LocalFree(argv);
    return status;
}
