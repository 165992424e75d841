// Windows and controls: texts, icons, messages and the client area.
#include "ui/afx.h"

#include "ui/qt/handles.h"
#include "ui/qt/template_widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QStyle>

using cyclara::qt::ClientAreaOf;
using cyclara::qt::HandleOf;
using cyclara::qt::IconOf;
using cyclara::qt::PainterOf;
using cyclara::qt::WidgetOf;

int GetSystemMetrics(int index) {
    if (index == SM_CXICON || index == SM_CYICON) {
        return QApplication::style()->pixelMetric(QStyle::PM_LargeIconSize);
    }
    return 0;
}

// Qt paints and destroys its widgets itself.
LRESULT CWnd::DefWindowProc(UINT) {
    return 0;
}

HWND AfxFindDlgItem(HWND window, int id) {
    for (QWidget* child : WidgetOf(window)->findChildren<QWidget*>()) {
        if (child->property(cyclara::qt::kControlIdProperty).toInt() == id) {
            return HandleOf(child);
        }
    }
    return nullptr;
}

void CWnd::SetWindowText(const char* text) {
    QWidget* widget = WidgetOf(m_hWnd);
    // Invalid UTF-8 (bytes from the device) becomes a replacement character.
    const QString shown = QString::fromUtf8(text);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(shown);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(shown);
    } else if (widget != nullptr) {
        widget->setWindowTitle(shown);
    }
}

CMenu* CWnd::GetMenu() const {
    return m_menu.get();
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    QWidget* widget = WidgetOf(m_hWnd);
    if (message == STM_SETICON) {
        if (auto* label = qobject_cast<QLabel*>(widget); label && wParam != 0) {
            label->setPixmap(IconOf(reinterpret_cast<HICON>(wParam))->pixmap(32, 32));
        }
        return 0;
    }
    if (message == WM_SETICON) {
        if (widget != nullptr && lParam != 0) {
            widget->setWindowIcon(*IconOf(reinterpret_cast<HICON>(lParam)));
        }
        return 0;
    }
    if (message == WM_ICONERASEBKGND && widget != nullptr && wParam != 0) {
        RECT client{};
        GetClientRect(&client);
        PainterOf(reinterpret_cast<HDC>(wParam))
            ->fillRect(QRect(client.left, client.top, client.right - client.left,
                             client.bottom - client.top),
                       widget->palette().window());
        return 1;
    }
    LRESULT result = 0;
    OnWndMsg(message, static_cast<UINT>(wParam & 0xFFFF), result);
    return result;
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon) {
    SendMessage(WM_SETICON, static_cast<WPARAM>(bigIcon), reinterpret_cast<LPARAM>(icon));
    return nullptr;
}

BOOL CWnd::IsIconic() const {
    const QWidget* widget = WidgetOf(m_hWnd);
    return widget != nullptr && widget->isMinimized() ? TRUE : FALSE;
}

void CWnd::GetClientRect(RECT* rect) const {
    QWidget* widget = WidgetOf(m_hWnd);
    const QSize size = widget != nullptr ? ClientAreaOf(widget)->size() : QSize();
    *rect = RECT{0, 0, size.width(), size.height()};
}
