// The parts of the class library that are the same on every platform: message maps, the
// dialog's commands and data exchange, and the application object.
#include "ui/afx.h"

namespace {

CWinApp* g_app = nullptr;  // set before main by the one application object

}  // namespace

CWnd::CWnd() = default;
CWnd::~CWnd() = default;

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

bool CCmdTarget::OnWndMsg(UINT message, UINT id, LRESULT& result) {
    for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
         map = map->base != nullptr ? map->base() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->entries; entry->handler != nullptr; ++entry) {
            if (entry->message == message && (message != WM_COMMAND || entry->id == id)) {
                const UINT outer = m_currentMessage;
                m_currentMessage = message;
                result = entry->handler(*this);
                m_currentMessage = outer;
                return true;
            }
        }
    }
    return false;
}

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, nullptr}};
    static const AFX_MSGMAP map{nullptr, entries};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_currentMessage);
}

// Commands this window leaves alone go on to the application, as help does.
void CWnd::OnCommandMessage(UINT id) {
    LRESULT ignored = 0;
    if (!OnWndMsg(WM_COMMAND, id, ignored) && AfxGetApp() != nullptr) {
        AfxGetApp()->OnWndMsg(WM_COMMAND, id, ignored);
    }
}

void AfxOnHelpKey() {
    if (CWnd* main = AfxGetMainWnd()) {
        main->OnCommandMessage(ID_HELP);
    }
}

CWnd* CWnd::GetDlgItem(int id) const {
    auto cached = m_children.find(id);
    if (cached != m_children.end()) {
        return cached->second.get();
    }
    const HWND child = m_hWnd != nullptr ? AfxFindDlgItem(m_hWnd, id) : nullptr;
    if (child == nullptr) {
        return nullptr;
    }
    auto wrapper = std::make_unique<CWnd>();
    wrapper->m_hWnd = child;
    return m_children.emplace(id, std::move(wrapper)).first->second.get();
}

void CWnd::OnDestroy() {}

void CWnd::ForgetChildren() {
    m_children.clear();
    m_menu.reset();
}

void AfxAttachMenu(CWnd& window, HMENU menu) {
    window.m_menu = std::make_unique<CMenu>();
    window.m_menu->m_hMenu = menu;
}

void DDX_Control(CDataExchange* exchange, int id, CWnd& control) {
    if (CWnd* item = exchange->m_pDlgWnd->GetDlgItem(id)) {
        control.m_hWnd = item->m_hWnd;
    }
}

CDialog::CDialog(UINT templateId, CWnd*) : m_templateId(templateId) {}
CDialog::~CDialog() = default;

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* message) {
    return CWnd::PreTranslateMessage(message);
}

void CDialog::DoDataExchange(CDataExchange*) {}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

// A dialog's close request becomes the Cancel command.
LRESULT CDialog::DefWindowProc(UINT message) {
    if (message == WM_CLOSE) {
        OnCommandMessage(IDCANCEL);
        return 0;
    }
    return CWnd::DefWindowProc(message);
}

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName) {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

// Both window systems draw controls in their own style already.
BOOL CWinApp::Enable3dControls() {
    return TRUE;
}

// One user-interface thread and one application: both threads find the main window here.
CWinThread* AfxGetThread() {
    return g_app;
}
CWinApp* AfxGetApp() {
    return g_app;
}
CWnd* AfxGetMainWnd() {
    return g_app != nullptr ? g_app->m_pMainWnd : nullptr;
}
const char* AfxGetAppName() {
    return g_app != nullptr && g_app->m_pszAppName != nullptr ? g_app->m_pszAppName : "";
}
