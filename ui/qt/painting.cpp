// Painting: device contexts as painters, and the icons they draw.
#include "ui/afx.h"

#include "ui/qt/handles.h"
#include "ui/qt/template_widgets.h"

#include <QIcon>
#include <QPainter>

using cyclara::qt::ClientAreaOf;
using cyclara::qt::IconOf;
using cyclara::qt::PainterOf;
using cyclara::qt::Resources;
using cyclara::qt::WidgetOf;

// A paint device context is a painter on the window, its origin at the client area's corner.
CPaintDC::CPaintDC(CWnd* window) : m_pWnd(window) {
    QWidget* widget = WidgetOf(window->m_hWnd);
    auto* painter = new QPainter(widget);
    painter->translate(ClientAreaOf(widget)->pos());
    m_ps.hdc = reinterpret_cast<HDC>(painter);
    m_hDC = m_ps.hdc;
}

CPaintDC::~CPaintDC() {
    delete PainterOf(m_ps.hdc);
}

BOOL CDC::DrawIcon(int x, int y, HICON icon) {
    if (icon == nullptr) {
        return FALSE;
    }
    const int width = GetSystemMetrics(SM_CXICON);
    const int height = GetSystemMetrics(SM_CYICON);
    PainterOf(m_hDC)->drawPixmap(x, y, IconOf(icon)->pixmap(width, height));
    return TRUE;
}

// Loaded icons live for the whole run, as the window system's do.
HICON AfxLoadIcon(UINT id) {
    const auto images = cyclara::LoadIcon(Resources(), static_cast<uint16_t>(id));
    if (!images) {
        return nullptr;
    }
    return reinterpret_cast<HICON>(new QIcon(cyclara::qt::ToIcon(*images)));
}
