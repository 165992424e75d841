// Drives the running Cyclara.exe from outside as its user would, one step per call, and reads
// it back through the Win32 API: win_window_probe check | open N | fields | close | exit.
// `check` prints one line per check, "ok ..." or "FAIL ...": the fields are painted, and the
// port dialog opens centred over the window, holds the window while it runs, and Cancel ends
// it. `fields` prints the frequency, elapsed, width and difference
// texts separated by tabs. Exits with the number of failed checks, or 1 when a window it needs
// does not appear.
#include "res/resource.h"
#include "tests/win_find_window.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int g_failures = 0;

void Check(bool passed, const char* what) {
    std::printf("%s %s\n", passed ? "ok" : "FAIL", what);
    std::fflush(stdout);
    g_failures += passed ? 0 : 1;
}

// What the screen shows at the top-left corner of a field: its sunken edge once it is painted,
// not the dialog's face.
bool FieldEdgeShown(HWND field) {
    RECT frame{};
    GetWindowRect(field, &frame);
    const HDC screen = GetDC(nullptr);
    const COLORREF corner = GetPixel(screen, frame.left, frame.top);
    ReleaseDC(nullptr, screen);
    return corner != CLR_INVALID && corner != GetSysColor(COLOR_3DFACE);
}

void CheckPainted(HWND main) {
    bool shown = false;
    for (int tries = 0; tries < 50 && !shown; ++tries) {
        shown = FieldEdgeShown(GetDlgItem(main, IDC_ELAPSED));
        Sleep(shown ? 0 : 100);
    }
    Check(shown, "the fields are painted");
}

// Posted, not sent: the command's handler runs a modal dialog or question.
HWND CommandOpening(HWND main, WPARAM id, const char* title) {
    PostMessageA(main, WM_COMMAND, id, 0);
    return WaitForWindow("#32770", title, main);
}

void CheckPortDialog(HWND main) {
    const HWND dialog = CommandOpening(main, IDM_PORT, nullptr);
    Check(dialog != nullptr && GetDlgItem(dialog, IDC_PORT) != nullptr, "the port dialog opens");
    if (dialog == nullptr) {
        return;
    }
    Check(!IsWindowEnabled(main), "the main window waits while the dialog runs");
    RECT outer{}, inner{};
    GetWindowRect(main, &outer);
    GetWindowRect(dialog, &inner);
    const long dx = (outer.left + outer.right) - (inner.left + inner.right);
    const long dy = (outer.top + outer.bottom) - (inner.top + inner.bottom);
    Check(dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2, "the dialog is centred over the window");
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    for (int tries = 0; tries < 50 && IsWindow(dialog); ++tries) {
        Sleep(100);
    }
    Check(!IsWindow(dialog) && IsWindowEnabled(main), "Cancel ends the dialog");
}

bool OpenPort(HWND main, int port) {
    const HWND dialog = CommandOpening(main, IDM_PORT, nullptr);
    if (dialog == nullptr) {
        return false;
    }
    SendDlgItemMessageA(dialog, IDC_PORT, CB_SETCURSEL, port - 1, 0);
    return PostMessageA(dialog, WM_COMMAND, IDOK, 0) != 0;
}

// Port Close and Exit both ask a question captioned with the program's name.
bool AnswerYes(HWND main, WPARAM id) {
    const HWND question = CommandOpening(main, id, "Cyclara");
    return question != nullptr && PostMessageA(question, WM_COMMAND, IDYES, 0) != 0;
}

void PrintFields(HWND main) {
    const int fields[] = {IDC_FREQ, IDC_ELAPSED, IDC_WIDTH, IDC_DIFF};
    for (const int id : fields) {
        char text[64] = "";
        SendDlgItemMessageA(main, id, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        std::printf("%s%s", text, id == IDC_DIFF ? "\n" : "\t");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const HWND main = argc >= 2 ? WaitForWindow(nullptr, "Cyclara") : nullptr;
    if (main == nullptr) {
        std::fprintf(stderr, "win_window_probe: no Cyclara window\n");
        return 1;
    }
    const char* step = argv[1];
    bool done = true;
    if (std::strcmp(step, "check") == 0) {
        CheckPainted(main);
        CheckPortDialog(main);
    } else if (std::strcmp(step, "open") == 0 && argc == 3) {
        done = OpenPort(main, std::atoi(argv[2]));
    } else if (std::strcmp(step, "fields") == 0) {
        PrintFields(main);
    } else if (std::strcmp(step, "close") == 0) {
        done = AnswerYes(main, IDM_PORT);
    } else if (std::strcmp(step, "exit") == 0) {
        done = AnswerYes(main, IDM_EXIT);
    } else {
        std::fprintf(stderr, "usage: win_window_probe check | open N | fields | close | exit\n");
        return 2;
    }
    return done ? g_failures : 1;
}
