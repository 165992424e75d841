// Checks the running Cyclara.exe from outside, through the Win32 API, as a user's tools
// would see it: the main window from its template with its twelve controls at their
// rectangles, minimising and restoring, the menu opening the port dialog, and Exit ending the
// program. Prints one line per check, "ok ..." or "FAIL ...", and exits with the number of
// failures.
#include "res/resource.h"
#include "tests/win_find_window.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

int g_failures = 0;

void Check(bool passed, const char* what) {
    std::printf("%s %s\n", passed ? "ok" : "FAIL", what);
    std::fflush(stdout);
    g_failures += passed ? 0 : 1;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM children) {
    if (GetParent(child) == GetAncestor(child, GA_PARENT)) {
        reinterpret_cast<std::vector<HWND>*>(children)->push_back(child);
    }
    return TRUE;
}

struct Expected {
    int id;
    RECT units;  // x, y, width, height in dialog units
};

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

void CheckMainWindow(HWND main) {
    const Expected controls[] = {
        {IDC_FREQ, {80, 7, 18, 10}},   {-1, {101, 8, 8, 8}},   {IDC_ELAPSED, {80, 24, 50, 10}},
        {IDC_WIDTH, {80, 41, 35, 10}}, {-1, {117, 41, 15, 8}}, {IDC_DIFF, {80, 58, 35, 10}},
        {-1, {117, 58, 15, 8}},        {-1, {7, 58, 68, 8}},   {-1, {7, 41, 58, 8}},
        {-1, {7, 7, 53, 8}},           {-1, {7, 24, 60, 8}},   {IDC_LED, {119, 0, 20, 20}}};
    std::vector<HWND> children;
    EnumChildWindows(main, CollectChild, reinterpret_cast<LPARAM>(&children));
    Check(children.size() == 12, "twelve controls");
    // MapDialogRect does not reach into another process under wine: the client area, 140 x 76
    // units, gives the scale instead, to a pixel.
    RECT client{};
    GetClientRect(main, &client);
    auto WithinAPixel = [](long a, long b) { return a - b <= 1 && b - a <= 1; };
    bool placed = children.size() == 12;
    for (size_t i = 0; placed && i < children.size(); ++i) {
        const RECT& u = controls[i].units;
        const RECT expected{u.left * client.right / 140, u.top * client.bottom / 76,
                            (u.left + u.right) * client.right / 140,
                            (u.top + u.bottom) * client.bottom / 76};
        RECT actual{};
        GetWindowRect(children[i], &actual);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&actual), 2);
        const int id = GetDlgCtrlID(children[i]);
        // An SS_ICON static takes the size of its icon: only its corner is the template's.
        const bool sized =
            controls[i].id == IDC_LED || (WithinAPixel(expected.right, actual.right) &&
                                          WithinAPixel(expected.bottom, actual.bottom));
        placed = WithinAPixel(expected.left, actual.left) &&
                 WithinAPixel(expected.top, actual.top) && sized &&
                 (controls[i].id == -1 ? id == 0xFFFF || id == -1 : id == controls[i].id);
        if (!placed) {
            std::printf("control %zu: id %d at %ld,%ld-%ld,%ld, expected %ld,%ld-%ld,%ld\n", i + 1,
                        id, actual.left, actual.top, actual.right, actual.bottom, expected.left,
                        expected.top, expected.right, expected.bottom);
        }
    }
    Check(placed, "controls in template order at their rectangles");
    char text[64] = "";
    GetWindowTextA(GetDlgItem(main, IDC_FREQ), text, sizeof text);
    Check(text[0] == '\0', "fields empty at start");
    Check(GetMenu(main) != nullptr, "the window has its menu");
    CheckPainted(main);
}

// Minimised, painted and restored, the window is whole again. (Whether the drag icon is the
// window's icon cannot be asked from here: wine answers no other process's WM_QUERYDRAGICON
// or WM_GETICON.)
void CheckMinimised(HWND main) {
    ShowWindow(main, SW_MINIMIZE);
    Check(IsIconic(main) != FALSE, "the window minimises");
    RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    DWORD_PTR answered = 0;
    Check(SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answered) != 0,
          "the program answers after painting minimised");
    ShowWindow(main, SW_RESTORE);
    Check(!IsIconic(main) && IsWindowVisible(GetDlgItem(main, IDC_ELAPSED)),
          "restored with its fields");
}

void CheckPortDialog(HWND main) {
    PostMessageA(main, WM_COMMAND, IDM_PORT, 0);
    const HWND dialog = WaitForWindow("#32770", nullptr, main);
    Check(dialog != nullptr && GetDlgItem(dialog, IDC_PORT) != nullptr, "the port dialog opens");
    if (dialog == nullptr) {
        return;
    }
    const LRESULT port = SendDlgItemMessageA(dialog, IDC_PORT, CB_GETCURSEL, 0, 0);
    const LRESULT speed = SendDlgItemMessageA(dialog, IDC_SPEED, CB_GETCURSEL, 0, 0);
    const LRESULT ports = SendDlgItemMessageA(dialog, IDC_PORT, CB_GETCOUNT, 0, 0);
    Check(port == 0 && speed == 6 && ports == 20, "COM1 and 9600 preselected, 20 ports");
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

void ExitThroughTheMenu(HWND main) {
    PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
    const HWND question = WaitForWindow("#32770", "Cyclara", main);
    Check(question != nullptr, "Exit asks, captioned Cyclara");
    if (question != nullptr) {
        PostMessageA(question, WM_COMMAND, IDYES, 0);
    }
    for (int tries = 0; tries < 100 && IsWindow(main); ++tries) {
        Sleep(100);
    }
    Check(!IsWindow(main), "Yes ends the program's window");
}

}  // namespace

int main() {
    const HWND main = WaitForWindow(nullptr, "Cyclara");
    Check(main != nullptr, "the main window appears");
    if (main != nullptr) {
        CheckMainWindow(main);
        CheckMinimised(main);
        CheckPortDialog(main);
        ExitThroughTheMenu(main);
    }
    return g_failures;
}
