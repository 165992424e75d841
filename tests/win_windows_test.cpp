// The program's windows on the Win32 backend, in process under wine: the main window and the
// port dialog from the linked templates, driven by posted keys and commands as a user would,
// and the message boxes read back. Runs in a Japanese locale so that the code page 932 texts
// come back as their characters. No test here opens a port that exists: wine has no COM20.
#include "app/main_app.h"
#include "res/resource.h"
#include "serial/serial_port.h"
#include "ui/main_dialog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

// Which window a step acts on; the step waits until that window is the one on top.
enum class On { kMain, kPortDialog, kMessageBox };

struct Step {
    On window;
    std::function<void(HWND)> action;
};

std::string Utf8(const wchar_t* text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length > 0 ? length : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), length, nullptr, nullptr);
    bytes.resize(bytes.size() - 1);
    return bytes;
}

std::string TextOf(HWND window) {
    wchar_t text[256] = L"";
    GetWindowTextW(window, text, 256);
    return Utf8(text);
}

bool Is(HWND window, On which) {
    switch (which) {
        case On::kMain:
            return GetDlgItem(window, IDC_LED) != nullptr;
        case On::kPortDialog:
            return GetDlgItem(window, IDC_PORT) != nullptr;
        case On::kMessageBox:
            return GetDlgItem(window, IDC_PORT) == nullptr &&
                   GetDlgItem(window, IDC_LED) == nullptr && GetDlgItem(window, 0xFFFF) != nullptr;
    }
    return false;
}

// A modal window disables its owner: the window on top is this thread's one enabled window.
BOOL CALLBACK FindEnabled(HWND window, LPARAM found) {
    if (IsWindowVisible(window) && IsWindowEnabled(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND TopWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindEnabled, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Runs the steps from a timer of the user-interface thread, which every modal loop serves.
// Actions post what a user would do and return, so no step runs inside another. A step whose
// window does not come within 20 s ends the test program: a modal loop would never return.
std::vector<Step> g_steps;
int g_waitedTicks = 0;
HWND g_answeredBox = nullptr;  // a box that was answered may linger a moment before it goes

void CALLBACK RunNextStep(HWND, UINT, UINT_PTR timer, DWORD) {
    if (g_steps.empty()) {
        KillTimer(nullptr, timer);
        return;
    }
    const HWND top = TopWindow();
    if (top == nullptr || top == g_answeredBox || !Is(top, g_steps.front().window)) {
        if (++g_waitedTicks > 1000) {
            std::fprintf(stderr, "FAIL: %zu steps left, none came\n", g_steps.size());
            ExitProcess(3);
        }
        return;
    }
    g_waitedTicks = 0;
    const Step step = g_steps.front();
    g_steps.erase(g_steps.begin());
    if (step.window == On::kMessageBox) {
        g_answeredBox = top;
    }
    step.action(top);
}

void Drive(std::vector<Step> steps) {
    g_steps = std::move(steps);
    g_waitedTicks = 0;
    SetTimer(nullptr, 0, 20, RunNextStep);
}

void Command(HWND window, UINT id) {
    PostMessageW(window, WM_COMMAND, id, 0);
}

void Key(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 0);
}

// "caption|text" of the message box, and presses `button`.
std::string Answer(HWND box, UINT button) {
    const std::string seen = TextOf(box) + "|" + TextOf(GetDlgItem(box, 0xFFFF));
    Command(box, button);
    return seen;
}

std::string PortMenuText(HWND main) {
    wchar_t text[64] = L"";
    GetMenuStringW(GetMenu(main), IDM_PORT, text, 64, MF_BYCOMMAND);
    return Utf8(text);
}

struct ListState {
    LRESULT selected;
    LRESULT count;
    std::string text;
};

ListState List(HWND dialog, int id) {
    const LRESULT selected = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
    wchar_t text[32] = L"";
    SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(selected),
                        reinterpret_cast<LPARAM>(text));
    return {selected, SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0), Utf8(text)};
}

class WindowsTest : public ::testing::Test {
  protected:
    WindowsTest() {
        cyclara::RememberedPortChoice() = {};
        theApp.m_pszAppName = "Cyclara";
        theApp.m_pMainWnd = &window;
    }
    ~WindowsTest() override { theApp.m_pMainWnd = nullptr; }

    CMainDialog window{nullptr};
};

// Enter and Escape do nothing; About names the program first; Exit and the close box ask the
// same question, and No stays; Yes to the close box ends as Cancel.
TEST_F(WindowsTest, KeysAboutExitAndTheCloseBox) {
    std::string about, exitAsked, closeAsked;
    bool stayed = false;
    Drive({{On::kMain, [](HWND main) { Key(main, VK_RETURN); }},
           {On::kMain, [](HWND main) { Key(main, VK_ESCAPE); }},
           {On::kMain,
            [&](HWND main) {
                stayed = true;
                Command(main, IDM_ABOUT);
            }},
           {On::kMessageBox, [&](HWND box) { about = Answer(box, IDOK); }},
           {On::kMain, [](HWND main) { Command(main, IDM_EXIT); }},
           {On::kMessageBox, [&](HWND box) { exitAsked = Answer(box, IDNO); }},
           {On::kMain, [](HWND main) { PostMessageW(main, WM_CLOSE, 0, 0); }},
           {On::kMessageBox, [&](HWND box) { closeAsked = Answer(box, IDNO); }},
           {On::kMain, [](HWND main) { PostMessageW(main, WM_CLOSE, 0, 0); }},
           {On::kMessageBox, [](HWND box) { Answer(box, IDYES); }}});
    EXPECT_EQ(window.DoModal(), IDCANCEL);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(about,
              "Cyclara|Cyclara\r\nCopyright (C) 2026 the Cyclara developers\r\n\r\n"
              "Help: F1 opens the help page");
    EXPECT_EQ(exitAsked, "Cyclara|終了しますか？");
    EXPECT_EQ(closeAsked, exitAsked);
}

// The port dialog accepts with Enter; a port that does not open is warned about, the menu
// stays, and the failed choice is offered again.
TEST_F(WindowsTest, AFailedOpeningWarnsAndOffersTheChoiceAgain) {
    ListState firstPort{}, firstSpeed{}, againPort{}, againSpeed{};
    std::string title, warning, menuAfter;
    Drive({{On::kMain, [](HWND main) { Command(main, IDM_PORT); }},
           {On::kPortDialog,
            [&](HWND dialog) {
                title = TextOf(dialog);
                firstPort = List(dialog, IDC_PORT);
                firstSpeed = List(dialog, IDC_SPEED);
                SendDlgItemMessageW(dialog, IDC_PORT, CB_SETCURSEL, 19, 0);
                SendDlgItemMessageW(dialog, IDC_SPEED, CB_SETCURSEL, 11, 0);
                Key(dialog, VK_RETURN);
            }},
           {On::kMessageBox, [&](HWND box) { warning = Answer(box, IDOK); }},
           {On::kMain,
            [&](HWND main) {
                menuAfter = PortMenuText(main);
                Command(main, IDM_PORT);
            }},
           {On::kPortDialog,
            [&](HWND dialog) {
                againPort = List(dialog, IDC_PORT);
                againSpeed = List(dialog, IDC_SPEED);
                Key(dialog, VK_ESCAPE);
            }},
           {On::kMain, [](HWND main) { Command(main, IDM_EXIT); }},
           {On::kMessageBox, [](HWND box) { Answer(box, IDYES); }}});
    window.DoModal();
    EXPECT_EQ(title, "シリアルポートの条件");
    EXPECT_EQ(firstPort.text, "COM1");
    EXPECT_EQ(firstPort.count, 20);
    EXPECT_EQ(firstSpeed.text, "9600");
    EXPECT_EQ(firstSpeed.count, 12);
    EXPECT_EQ(warning, "Cyclara|A port does not open.");
    EXPECT_EQ(menuAfter, "&Port Open");
    EXPECT_EQ(againPort.text, "COM20");
    EXPECT_EQ(againSpeed.text, "115200");
    EXPECT_EQ(cyclara::ProcessSerialPort().IsOpen(), 0);
}

// The handlers' results come back through the dialog procedure: the drag icon is returned
// directly, as that message's result must be.
TEST_F(WindowsTest, MinimisedTheWindowOffersItsIconAndComesBackWhole) {
    LRESULT dragIcon = 0, bigIcon = 0;
    bool minimised = false, restored = false;
    Drive({{On::kMain,
            [&](HWND main) {
                dragIcon = SendMessageW(main, WM_QUERYDRAGICON, 0, 0);
                bigIcon = SendMessageW(main, WM_GETICON, ICON_BIG, 0);
                ShowWindow(main, SW_MINIMIZE);
                minimised = IsIconic(main) != FALSE;
                RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
                ShowWindow(main, SW_RESTORE);
                restored = IsIconic(main) == FALSE;
                Command(main, IDM_EXIT);
            }},
           {On::kMessageBox, [](HWND box) { Answer(box, IDYES); }}});
    window.DoModal();
    EXPECT_NE(dragIcon, 0);
    EXPECT_EQ(dragIcon, bigIcon);
    EXPECT_TRUE(minimised);
    EXPECT_TRUE(restored);
}

}  // namespace
