#include "ui/main_dialog.h"

#include "measure/receive_thread.h"
#include "measure/synchronous_display.h"
#include "res/resource.h"
#include "serial/serial_port.h"
#include "ui/port_dialog.h"
#include "ui/texts.h"

#include <cstdint>

namespace {

// Set once by OnInitDialog, before any receive thread exists, and only read afterwards, on
// the user-interface thread (the receive thread's updates are carried over to it).
CWnd* g_pIndicator = nullptr;
HICON g_hLedOff = nullptr;
HICON g_hLedOn = nullptr;

class MainWindowDisplay : public cyclara::MeasurementDisplay {
  public:
    void SetFieldText(int id, const char* text) override {
        CWnd* main = AfxGetThread()->GetMainWnd();
        CWnd* field = main != nullptr ? main->GetDlgItem(id) : nullptr;
        if (field != nullptr) {
            field->SetWindowText(text);
        }
    }
    void SetIndicator(bool lit) override {
        if (g_pIndicator != nullptr) {
            g_pIndicator->SendMessage(STM_SETICON,
                                      reinterpret_cast<WPARAM>(lit ? g_hLedOn : g_hLedOff), 0);
        }
    }
};

void SetPortMenuText(CMenu* menu, const char* text) {
    if (menu != nullptr) {
        menu->ModifyMenu(IDM_PORT, MF_BYCOMMAND | MF_STRING, IDM_PORT, text);
    }
}

}  // namespace

cyclara::MeasurementDisplay& WindowDisplay() {
    static MainWindowDisplay display;
    return display;
}

cyclara::MeasurementDisplay& WorkerDisplay() {
    static cyclara::SynchronousDisplay display(AfxGetUiDispatcher(), WindowDisplay(),
                                               cyclara::ProcessReceiver().Stop());
    return display;
}

CMainDialog::CMainDialog(CWnd* parent) : CDialog(IDD_MAIN, parent) {
    m_hIcon = AfxLoadIcon(IDR_MAINFRAME);
}

void CMainDialog::DoDataExchange(CDataExchange* exchange) {
    CDialog::DoDataExchange(exchange);
    DDX_Control(exchange, IDC_LED, m_wndIndicator);
}

BEGIN_MESSAGE_MAP(CMainDialog, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_COMMAND(IDM_PORT, OnPortCommand)
ON_WM_DESTROY()
ON_COMMAND(IDM_EXIT, OnExitCommand)
ON_WM_CLOSE()
ON_COMMAND(IDM_ABOUT, OnAboutCommand)
END_MESSAGE_MAP()

BOOL CMainDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    g_hLedOff = AfxLoadIcon(IDI_LED_OFF);
    g_hLedOn = AfxLoadIcon(IDI_LED_ON);
    g_pIndicator = &m_wndIndicator;
    WindowDisplay().SetIndicator(false);
    return TRUE;
}

void CMainDialog::ClearDisplays() {
    for (const int field : {IDC_FREQ, IDC_ELAPSED, IDC_WIDTH, IDC_DIFF}) {
        WindowDisplay().SetFieldText(field, "");
    }
    WindowDisplay().SetIndicator(false);
}

// Minimised, the window shows its icon in the middle of what is left of it.
void CMainDialog::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int32_t iconWidth = GetSystemMetrics(SM_CXICON);
    const int32_t iconHeight = GetSystemMetrics(SM_CYICON);
    RECT client{};
    GetClientRect(&client);
    const int32_t x = (client.right - client.left - iconWidth + 1) / 2;
    const int32_t y = (client.bottom - client.top - iconHeight + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HICON CMainDialog::OnQueryDragIcon() {
    return m_hIcon;
}

void CMainDialog::OnPortCommand() {
    CPortDialog dialog(nullptr);
    CMenu* menu = GetMenu();
    cyclara::CSerialPort& port = cyclara::ProcessSerialPort();
    if (!port.IsOpen()) {
        cyclara::PortChoice& choice = cyclara::RememberedPortChoice();
        dialog.m_nPortIndex = choice.portNumber - 1;
        dialog.m_nSpeedIndex = choice.speedIndex;
        if (dialog.DoModal() != IDOK) {
            return;
        }
        // Remembered before the attempt, so a failed choice is offered again.
        choice.portNumber = dialog.m_nPortIndex + 1;
        choice.speedIndex = dialog.m_nSpeedIndex;
        if (port.Open(choice.portNumber, cyclara::SpeedAt(choice.speedIndex)) == 1) {
            SetPortMenuText(menu, kPortCloseMenuText);
            ClearDisplays();
            cyclara::ProcessReceiver().StartThread(*port.GetHandle(), WorkerDisplay());
        } else {
            AfxMessageBox(kPortFailedText, MB_OK | MB_ICONEXCLAMATION, 0);
        }
        return;
    }
    if (AfxMessageBox(kClosePortQuestion, MB_YESNO | MB_ICONQUESTION, 0) == IDYES) {
        cyclara::ProcessReceiver().EndThread();
        port.Close();
        SetPortMenuText(menu, kPortOpenMenuText);
        WindowDisplay().SetIndicator(false);
    }
}

void CMainDialog::OnDestroy() {
    CDialog::OnDestroy();
    cyclara::CSerialPort& port = cyclara::ProcessSerialPort();
    if (port.IsOpen()) {
        cyclara::ProcessReceiver().EndThread();
        port.Close();
    }
}

void CMainDialog::OnExitCommand() {
    if (AfxMessageBox(kExitQuestion, MB_YESNO | MB_ICONQUESTION, 0) != IDNO) {
        CDialog::OnOK();
    }
}

void CMainDialog::OnClose() {
    if (AfxMessageBox(kExitQuestion, MB_YESNO | MB_ICONQUESTION, 0) != IDNO) {
        Default();
    }
}

void CMainDialog::OnAboutCommand() {
    AfxMessageBox(kAboutText, MB_OK | MB_ICONINFORMATION, 0);
}

// Enter and Escape would end the window as a dialog; here they do nothing.
BOOL CMainDialog::PreTranslateMessage(MSG* message) {
    if (message->message == WM_KEYDOWN &&
        (message->wParam == VK_RETURN || message->wParam == VK_ESCAPE)) {
        return TRUE;
    }
    return CDialog::PreTranslateMessage(message);
}
