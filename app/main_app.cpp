#include "app/main_app.h"

#include "ui/main_dialog.h"

CMainApp::CMainApp() : CWinApp(nullptr) {}

// The one application object, built before the program's entry runs.
CMainApp theApp;

BEGIN_MESSAGE_MAP(CMainApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

BOOL CMainApp::InitInstance() {
    Enable3dControls();
    CMainDialog dialog(nullptr);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // No message loop of its own: the program ends with the main window.
    return FALSE;
}
