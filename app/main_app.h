// The application object: runs the main window as a modal dialog; the program ends with it.
#pragma once

#include "ui/afx.h"

class CMainApp : public CWinApp {
  public:
    CMainApp();
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

// The one application object.
extern CMainApp theApp;
