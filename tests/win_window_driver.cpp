// Drives the running Cyclara.exe from outside as its user would, one step per call, and reads
// its fields back with WM_GETTEXT: win_window_driver open N | fields | close | exit.
// `fields` prints the frequency, elapsed, width and difference texts separated by tabs.
// Exits 1 when a window it needs does not appear.
#include "res/resource.h"
#include "tests/win_find_window.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Posted, not sent: the command's handler runs a modal dialog or question.
bool Command(HWND main, WPARAM id) {
    return PostMessageA(main, WM_COMMAND, id, 0) != 0;
}

bool OpenPort(HWND main, int port) {
    Command(main, IDM_PORT);
    const HWND dialog = WaitForWindow("#32770", nullptr, main);
    if (dialog == nullptr) {
        return false;
    }
    SendDlgItemMessageA(dialog, IDC_PORT, CB_SETCURSEL, port - 1, 0);
    return PostMessageA(dialog, WM_COMMAND, IDOK, 0) != 0;
}

// Port Close and Exit both ask a question captioned with the program's name.
bool AnswerYes(HWND main, WPARAM id) {
    Command(main, id);
    const HWND question = WaitForWindow("#32770", "Cyclara", main);
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
        std::fprintf(stderr, "win_window_driver: no Cyclara window\n");
        return 1;
    }
    const char* step = argv[1];
    bool done = true;
    if (std::strcmp(step, "open") == 0 && argc == 3) {
        done = OpenPort(main, std::atoi(argv[2]));
    } else if (std::strcmp(step, "fields") == 0) {
        PrintFields(main);
    } else if (std::strcmp(step, "close") == 0) {
        done = AnswerYes(main, IDM_PORT);
    } else if (std::strcmp(step, "exit") == 0) {
        done = AnswerYes(main, IDM_EXIT);
    } else {
        std::fprintf(stderr, "usage: win_window_driver open N | fields | close | exit\n");
        return 2;
    }
    return done ? 0 : 1;
}
