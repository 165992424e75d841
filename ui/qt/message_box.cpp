// Message boxes, with the window system's icons and buttons.
#include "ui/afx.h"

#include "ui/qt/handles.h"

#include <QMessageBox>

using cyclara::qt::WidgetOf;

int AfxMessageBox(const char* text, UINT type, UINT) {
    CWnd* main = AfxGetMainWnd();
    QMessageBox box(main != nullptr ? WidgetOf(main->m_hWnd) : nullptr);
    box.setWindowTitle(QString::fromUtf8(AfxGetAppName()));
    // The texts end lines with CR LF, as Windows' message boxes take them.
    box.setText(QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (type & 0xF0) {
        case MB_ICONQUESTION:
            box.setIcon(QMessageBox::Question);
            break;
        case MB_ICONEXCLAMATION:
            box.setIcon(QMessageBox::Warning);
            break;
        case MB_ICONINFORMATION:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
    }
    const bool yesNo = (type & 0x0F) == MB_YESNO;
    box.setStandardButtons(yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
    box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
    const int pressed = box.exec();
    return pressed == QMessageBox::Yes ? IDYES : pressed == QMessageBox::No ? IDNO : IDOK;
}
