// The port settings dialog: the port (COM1 to COM20) and the line speed, as list positions.
#pragma once

#include "ui/afx.h"

class CPortDialog : public CDialog {
  public:
    explicit CPortDialog(CWnd* parent = nullptr);

    // Positions in the lists, -1 for none: the caller presets them and reads them after IDOK.
    int m_nSpeedIndex;  // an index into the speed table
    int m_nPortIndex;   // the port number minus 1

  protected:
    void DoDataExchange(CDataExchange* exchange) override;

    DECLARE_MESSAGE_MAP()
};
