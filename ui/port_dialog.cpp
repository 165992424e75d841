#include "ui/port_dialog.h"

#include "res/resource.h"

CPortDialog::CPortDialog(CWnd* parent) : CDialog(IDD_PORT, parent) {
    m_nSpeedIndex = -1;
    m_nPortIndex = -1;
}

void CPortDialog::DoDataExchange(CDataExchange* exchange) {
    CDialog::DoDataExchange(exchange);
    DDX_CBIndex(exchange, IDC_SPEED, m_nSpeedIndex);
    DDX_CBIndex(exchange, IDC_PORT, m_nPortIndex);
}

BEGIN_MESSAGE_MAP(CPortDialog, CDialog)
END_MESSAGE_MAP()
