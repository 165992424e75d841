// The class library on Win32: dialogs from the linked templates, run by a modal loop of our
// own so that PreTranslateMessage sees every message before the dialog does.
#include "ui/afx.h"

#include "measure/synchronous_display.h"
#include "ui/resource_reader.h"

#include <shellapi.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace {

std::string g_appName;            // the user-interface thread's, set once at start
std::string g_helpFilePath;       // likewise
HWND g_dispatchWindow = nullptr;  // created by AfxWinMain; PostMessage to it from any thread

constexpr UINT kRunTask = WM_APP + 1;

std::optional<cyclara::Bytes> LinkedResource(UINT type, UINT id) {
    const HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return std::nullopt;
    }
    return cyclara::Bytes(static_cast<const uint8_t*>(data), SizeofResource(module, found));
}

// A dialog whose template sits at 0, 0 goes to the middle of its owner, or of the screen.
void Centre(HWND window, HWND owner) {
    RECT frame{};
    GetWindowRect(window, &frame);
    RECT area{};
    if (owner != nullptr) {
        GetWindowRect(owner, &area);
    } else {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    }
    const long width = frame.right - frame.left;
    const long height = frame.bottom - frame.top;
    SetWindowPos(window, nullptr, (area.left + area.right - width) / 2,
                 (area.top + area.bottom - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK DispatchProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunTask) {
        std::unique_ptr<std::function<void()>> task(
            reinterpret_cast<std::function<void()>*>(lParam));
        (*task)();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class Win32UiDispatcher : public cyclara::UiDispatcher {
  public:
    void Post(std::function<void()> task) override {
        auto* posted = new std::function<void()>(std::move(task));
        if (!PostMessageA(g_dispatchWindow, kRunTask, 0, reinterpret_cast<LPARAM>(posted))) {
            delete posted;
        }
    }
};

void CreateDispatchWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DispatchProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "CyclaraDispatch";
    RegisterClassA(&windowClass);
    g_dispatchWindow = CreateWindowExA(0, "CyclaraDispatch", "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                       nullptr, windowClass.hInstance, nullptr);
}

}  // namespace

namespace {

// The state of a CDialog's modal run: ended by EndDialog, read by the loop in DoModal.
struct ModalRun {
    bool ended = false;
    int result = IDCANCEL;
};
// The dialogs running modally now, the innermost last; user-interface thread only.
std::map<const CDialog*, ModalRun*> g_runs;

INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        dialog->m_hWnd = window;
        dialog->OnInitDialog();
        return TRUE;
    }
    auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (dialog == nullptr) {
        return FALSE;
    }
    LRESULT result = 0;
    switch (message) {
        case WM_COMMAND:
            dialog->OnCommandMessage(LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            if (!dialog->OnWndMsg(WM_CLOSE, 0, result)) {
                dialog->OnCancel();
            }
            return TRUE;
        case WM_HELP:
            AfxOnHelpKey();
            return TRUE;
        case WM_QUERYDRAGICON:
            // One of the messages whose result a dialog procedure returns itself.
            return dialog->OnWndMsg(message, 0, result) ? static_cast<INT_PTR>(result) : FALSE;
        default:
            if (!dialog->OnWndMsg(message, 0, result)) {
                return FALSE;
            }
            SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
            return TRUE;
    }
}

}  // namespace

// --- CWnd

// The messages the program leaves to the window system carry no parameters (WM_PAINT).
LRESULT CWnd::DefWindowProc(UINT message) {
    return ::DefWindowProcA(m_hWnd, message, 0, 0);
}

HWND AfxFindDlgItem(HWND window, int id) {
    return ::GetDlgItem(window, id);
}

void CWnd::SetWindowText(const char* text) {
    ::SetWindowTextA(m_hWnd, text);
}

CMenu* CWnd::GetMenu() const {
    if (!m_menu && m_hWnd != nullptr) {
        AfxAttachMenu(const_cast<CWnd&>(*this), ::GetMenu(m_hWnd));
    }
    return m_menu.get();
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, static_cast<WPARAM>(bigIcon), reinterpret_cast<LPARAM>(icon)));
}

BOOL CWnd::IsIconic() const {
    return ::IsIconic(m_hWnd);
}

void CWnd::GetClientRect(RECT* rect) const {
    ::GetClientRect(m_hWnd, rect);
}

// --- Painting

CPaintDC::CPaintDC(CWnd* window) : m_pWnd(window) {
    m_hDC = BeginPaint(window->m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC() {
    EndPaint(m_pWnd->m_hWnd, &m_ps);
}

BOOL CDC::DrawIcon(int x, int y, HICON icon) {
    return ::DrawIcon(m_hDC, x, y, icon);
}

// --- CMenu

BOOL CMenu::ModifyMenu(UINT id, UINT flags, UINT newId, const char* text) {
    return ::ModifyMenuA(m_hMenu, id, flags, newId, text);
}

// --- Data exchange

void DDX_CBIndex(CDataExchange* exchange, int id, int& index) {
    const HWND dialog = exchange->m_pDlgWnd->m_hWnd;
    if (exchange->m_bSaveAndValidate) {
        index = static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
    } else {
        SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}

// --- CDialog

int CDialog::DoModal() {
    CWnd* main = AfxGetMainWnd();
    const HWND owner = main != nullptr && main != this ? main->m_hWnd : nullptr;
    ModalRun run;
    g_runs[this] = &run;
    const HWND window =
        CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), owner,
                           DialogProcedure, reinterpret_cast<LPARAM>(this));
    if (window == nullptr) {
        g_runs.erase(this);
        return -1;
    }
    Centre(window, owner);
    // The owner is disabled before the dialog shows, as Windows' own dialog boxes do: once
    // the dialog can be seen, the window behind it takes no input.
    if (owner != nullptr) {
        EnableWindow(owner, FALSE);
    }
    ShowWindow(window, SW_SHOW);
    MSG message{};
    while (!run.ended && GetMessageA(&message, nullptr, 0, 0) > 0) {
        const bool ours = message.hwnd == window || IsChild(window, message.hwnd);
        if (ours && PreTranslateMessage(&message)) {
            continue;
        }
        if (!IsDialogMessageA(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    if (owner != nullptr) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
    DestroyWindow(window);
    ForgetChildren();
    m_hWnd = nullptr;
    g_runs.erase(this);
    return run.result;
}

BOOL CDialog::OnInitDialog() {
    const auto lists = LinkedResource(cyclara::kRtDialogInit, m_templateId);
    if (const auto entries = lists ? cyclara::ParseDialogInit(*lists) : std::nullopt) {
        for (const cyclara::ListEntry& entry : *entries) {
            SendDlgItemMessageA(m_hWnd, entry.controlId, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(entry.text.c_str()));
        }
    }
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::EndDialog(int result) {
    const auto running = g_runs.find(this);
    if (running != g_runs.end()) {
        running->second->result = result;
        running->second->ended = true;
        PostMessageA(m_hWnd, WM_NULL, 0, 0);  // wakes the modal loop
    }
}

// --- Application

int AfxWinMain(int, char**) {
    if (AfxGetApp() == nullptr) {
        return 1;
    }
    char path[MAX_PATH + 1] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string program(path);
    const std::string withoutExtension = program.substr(0, program.rfind('.'));
    if (AfxGetApp()->m_pszAppName == nullptr) {
        g_appName = withoutExtension.substr(withoutExtension.find_last_of("\\/") + 1);
        AfxGetApp()->m_pszAppName = g_appName.c_str();
    }
    // The help page is named after the program and lies beside it.
    g_helpFilePath = withoutExtension + ".html";
    if (GetFileAttributesA(g_helpFilePath.c_str()) != INVALID_FILE_ATTRIBUTES) {
        AfxGetApp()->m_pszHelpFilePath = g_helpFilePath.c_str();
    }
    CreateDispatchWindow();
    AfxGetApp()->InitInstance();
    return 0;
}

int AfxMessageBox(const char* text, UINT type, UINT) {
    CWnd* main = AfxGetMainWnd();
    return MessageBoxA(main != nullptr ? main->m_hWnd : nullptr, text, AfxGetAppName(), type);
}

void CWinApp::OnHelp() {
    if (m_pszHelpFilePath != nullptr) {
        ShellExecuteA(m_pMainWnd != nullptr ? m_pMainWnd->m_hWnd : nullptr, "open",
                      m_pszHelpFilePath, nullptr, nullptr, SW_SHOWNORMAL);
    }
}

HICON AfxLoadIcon(UINT id) {
    return LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
}

cyclara::UiDispatcher& AfxGetUiDispatcher() {
    static Win32UiDispatcher dispatcher;
    return dispatcher;
}
