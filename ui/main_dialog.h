// The main window: four value fields, the DSR indicator, and the menu that opens and closes
// the port.
#pragma once

#include "measure/measurement_display.h"
#include "ui/afx.h"

class CMainDialog : public CDialog {
  public:
    explicit CMainDialog(CWnd* parent = nullptr);

    // Empties the four value fields and unlights the indicator.
    void ClearDisplays();

    BOOL PreTranslateMessage(MSG* message) override;
    BOOL OnInitDialog() override;

  protected:
    void DoDataExchange(CDataExchange* exchange) override;

    void OnPaint();
    HICON OnQueryDragIcon();
    void OnPortCommand();
    void OnDestroy();
    void OnExitCommand();
    void OnClose();
    void OnAboutCommand();

    CStatic m_wndIndicator;
    HICON m_hIcon;

    DECLARE_MESSAGE_MAP()
};

// The measurement display on the main window's fields and indicator. Its calls must run on
// the user-interface thread; the receive thread reaches it through WorkerDisplay().
cyclara::MeasurementDisplay& WindowDisplay();

// What the receive thread writes to: each update carried to the user-interface thread and
// waited for, giving way to a stop.
cyclara::MeasurementDisplay& WorkerDisplay();
